#pragma once

namespace mailwright {

// The application: makes sure the provider database exists, then runs the main dialog
// until the user closes it. The command line has no effect.
class CMailwrightApp {
public:
    // Runs the program from start to end; false: the process ends without a message loop.
    bool InitInstance();

    // Writes the built-in default database when providers.lst is missing; a present
    // file stays as it is, whatever it holds.
    static void EnsureDatabase();
};

}  // namespace mailwright
