#pragma once

#include <QtGlobal>

// The tests' time bounds, widened in slower builds: the sanitizer build sets
// COVERLUME_TIME_FACTOR for every test (cmake/Hardening.cmake) and every
// bound a test waits on is multiplied by it. 1 when unset or not a whole
// number from 1 to 20.
namespace TimeFactor {

inline int factor()
{
    static const int value = [] {
        bool ok = false;
        const int read = qEnvironmentVariableIntValue("COVERLUME_TIME_FACTOR", &ok);
        return ok && read >= 1 && read <= 20 ? read : 1;
    }();
    return value;
}

inline int ms(int milliseconds)
{
    return milliseconds * factor();
}

} // namespace TimeFactor
