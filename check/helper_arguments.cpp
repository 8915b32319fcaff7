#include "check/helper_arguments.h"

#include <stdlib.h>
#include <wchar.h>

namespace Corvinex {
namespace Check {

const wchar_t kHelperProgram[] = L"vpecheck.exe";
const wchar_t kProbeVerb[] = L"doctor-probe";
const wchar_t kCheckVerb[] = L"validate-check";

namespace {

// A whole decimal number within [low, high].
bool ReadNumber(const wchar_t* text, unsigned long low, unsigned long high, unsigned long* value) {
    if (text[0] < L'0' || text[0] > L'9')
        return false;
    wchar_t* end = nullptr;
    *value = wcstoul(text, &end, 10);
    return *end == 0 && *value >= low && *value <= high;
}

} // namespace

bool ParseHelperArguments(int count, wchar_t* const* args, HelperCommand* command,
                          const wchar_t** error) {
    if (count >= 1 && wcscmp(args[0], kProbeVerb) == 0) {
        if (count != 2) {
            *error = L"doctor-probe needs exactly one library path";
            return false;
        }
        command->verb = HelperVerb::Probe;
        command->probePath = args[1];
        return true;
    }
    if (count < 1 || wcscmp(args[0], kCheckVerb) != 0) {
        *error = L"the first argument is doctor-probe or validate-check";
        return false;
    }
    command->verb = HelperVerb::Check;
    CheckRequest& request = command->request;
    bool haveCheck = false, haveEngine = false;
    for (int i = 1; i < count; ++i) {
        const wchar_t* name = args[i];
        if (i + 1 >= count) {
            *error = L"an option lacks its value";
            return false;
        }
        const wchar_t* value = args[++i];
        unsigned long number = 0;
        if (wcscmp(name, L"--check") == 0) {
            request.check = value;
            haveCheck = true;
        } else if (wcscmp(name, L"--engine") == 0) {
            request.engine = value;
            haveEngine = true;
        } else if (wcscmp(name, L"--dump-folder") == 0) {
            request.dumpFolder = value;
        } else if (wcscmp(name, L"--strictness") == 0) {
            if (!ReadNumber(value, 1, 10, &number)) {
                *error = L"--strictness takes a level from 1 to 10";
                return false;
            }
            request.strictness = static_cast<int>(number);
        } else if (wcscmp(name, L"--seed") == 0) {
            if (!ReadNumber(value, 0, 0xFFFFFFFFul, &number)) {
                *error = L"--seed takes a number from 0 to 4294967295";
                return false;
            }
            request.seed = static_cast<uint32_t>(number);
        } else if (wcscmp(name, L"--timeout") == 0) {
            if (!ReadNumber(value, 1, 86400, &number)) {
                *error = L"--timeout takes seconds from 1 to 86400";
                return false;
            }
            request.timeoutSeconds = static_cast<DWORD>(number);
        } else {
            *error = L"unknown option";
            return false;
        }
    }
    if (!haveCheck || !haveEngine) {
        *error = L"validate-check needs --check NAME and --engine PATH";
        return false;
    }
    return true;
}

} // namespace Check
} // namespace Corvinex
