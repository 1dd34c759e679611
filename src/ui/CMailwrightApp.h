#pragma once
#include <string>

namespace mailwright {

// The application: makes sure the provider database exists, then runs the main dialog
// until the user closes it. The command line has no effect.
class CMailwrightApp {
public:
    // updateUrl replaces the built-in download address of the database; the program
    // passes none, the tests a local one.
    explicit CMailwrightApp(std::string updateUrl = {});

    // Runs the program from start to end: writes the built-in default database when
    // providers.lst is missing (a present file stays as it is, whatever it holds), then
    // runs the main dialog. False: the process ends without a message loop of its own.
    bool InitInstance();

private:
    std::string m_updateUrl;
};

}  // namespace mailwright
