// Windows scalar types, status codes and flags that the program's code relies on.
// The values are those the Windows API documents; only the ones the program uses are here.
#pragma once

#include <cstdint>

namespace win {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using HRESULT = std::int32_t;

// System error codes (GetLastError / registry results).
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_BAD_FORMAT = 11;
constexpr LONG ERROR_FILE_EXISTS = 80;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_ALREADY_EXISTS = 183;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_CANCELLED = 1223;
constexpr LONG ERROR_KEY_HAS_CHILDREN = 1020;

// COM-style status codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT HRESULT_FROM_WIN32(LONG code) {
    return code <= 0 ? code : static_cast<HRESULT>((static_cast<DWORD>(code) & 0xFFFFu) | 0x80070000u);
}

constexpr DWORD MAX_PATH = 260;

}  // namespace win
