# Bytes embedded at build time, found at run time by type and numeric identifier
# (the stand-in for module resources).
#
#   mw_embed_resources(<library> <TYPE> <ID> <file> [<TYPE> <ID> <file> ...])
#
# makes a static library whose table the core's FindResource searches.
set(MW_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/EmbedFile.cmake")

function(mw_embed_resources library)
  set(args ${ARGN})
  list(LENGTH args count)
  math(EXPR rest "${count} % 3")
  if(NOT rest EQUAL 0)
    message(FATAL_ERROR "mw_embed_resources: arguments come in TYPE ID FILE triples")
  endif()
  set(outdir "${CMAKE_CURRENT_BINARY_DIR}/${library}")
  set(sources "")
  set(declarations "")
  set(entries "")
  set(index 0)
  while(args)
    list(POP_FRONT args type id file)
    set(symbol "mw_resource_${index}")
    set(out "${outdir}/${symbol}.cpp")
    add_custom_command(
      OUTPUT "${out}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${symbol} -P "${MW_EMBED_SCRIPT}"
      DEPENDS "${file}" "${MW_EMBED_SCRIPT}"
      COMMENT "Embedding ${type} ${id} from ${file}"
      VERBATIM)
    list(APPEND sources "${out}")
    string(APPEND declarations "extern const unsigned char ${symbol}[];\nextern const std::size_t ${symbol}_size;\n")
    string(APPEND entries "    {\"${type}\", ${id}, ${symbol}, ${symbol}_size},\n")
    math(EXPR index "${index} + 1")
  endwhile()
  set(table "${outdir}/table.cpp")
  file(WRITE "${table}.in"
    "// Generated: the table of embedded resources.\n"
    "#include \"support/EmbeddedResource.h\"\n#include <cstddef>\n\n"
    "${declarations}\n"
    "namespace mailwright {\n"
    "const EmbeddedResource g_embeddedResources[] = {\n${entries}    {nullptr, 0, nullptr, 0},\n};\n"
    "}\n")
  configure_file("${table}.in" "${table}" COPYONLY)
  # Objects, not an archive: linked in whole, wherever the library stands on the link line.
  add_library(${library} OBJECT ${sources} "${table}")
  target_include_directories(${library} PRIVATE "${PROJECT_SOURCE_DIR}/src")
endfunction()
