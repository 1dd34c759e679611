#pragma once
#include "support/StringTable.h"

namespace mailwright {

// Outcomes of the database update, posted as WM_UPDATE_RESULT with the code in wParam.
enum UpdateResult : int {
    UPDATE_RESULT_DONE = 6000,              // the database file was replaced
    UPDATE_RESULT_CANCELLED = 6001,         // posted by the update dialog, never by the worker
    UPDATE_RESULT_FAILED = 6002,            // the request failed or brought no database
    UPDATE_RESULT_CONNECTION_ERROR = 6003,  // an accepted status other than 200
    UPDATE_RESULT_WRITE_ERROR = 6004,       // the database file cannot be written
};

// The string-table text of a result code (149 to 153); 0 for any other code.
inline unsigned UpdateResultTextId(int code) {
    return code >= UPDATE_RESULT_DONE && code <= UPDATE_RESULT_WRITE_ERROR
               ? IDS_UPDATE_DONE + static_cast<unsigned>(code - UPDATE_RESULT_DONE)
               : 0;
}

}  // namespace mailwright
