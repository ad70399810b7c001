// The host's 16-bit character type, its literal macro and the export markers
// of the host library. Every name the host takes or gives is UTF-16.
#ifndef HOST_API_TEXT_H
#define HOST_API_TEXT_H

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
// On the real platform the host's character is the system's wide character.
typedef wchar_t ACHAR;
#define ACRX_T(x) L##x
#else
// wchar_t is 32 bits here, so the host layer carries its own 16-bit type.
typedef char16_t ACHAR;
#define ACRX_T(x) u##x
#endif

#if defined(_WIN32)
#if defined(SIMHOST_BUILDING)
#define SIMHOST_API __declspec(dllexport)
#else
#define SIMHOST_API __declspec(dllimport)
#endif
#else
#define SIMHOST_API __attribute__((visibility("default")))
#endif

namespace Adesk {
typedef std::int16_t Int16;
typedef std::uint16_t UInt16;
typedef std::int32_t Int32;
typedef std::int64_t Int64;
typedef std::uint32_t UInt32;
typedef std::uint64_t UInt64;
typedef bool Boolean;
}  // namespace Adesk

#endif
