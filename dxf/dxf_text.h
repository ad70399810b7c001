// Text values between a DXF file's encoding and the host's UTF-16: the
// Windows-1252 code page, UTF-8 from AC1021 on, \U+XXXX escapes for what a
// code page cannot hold, and ^-escapes for control characters.
#ifndef DXF_DXF_TEXT_H
#define DXF_DXF_TEXT_H

#include <string>
#include <string_view>

namespace dxf {

enum class TextEncoding {
  Windows1252,  // the default code page of the older versions
  Utf8,         // AC1021 and later
  AsciiOnly     // any other code page: only ASCII is understood here
};

// The encoding a file of this $ACADVER and $DWGCODEPAGE uses.
TextEncoding textEncodingFor(std::string_view version,
                             std::string_view codePage);

// File text to UTF-16. \U+XXXX escapes become the character they name, so
// that what the host shows is what the drawing means; writing it back gives
// the escape again. False when the bytes are not text in this encoding.
bool decodeText(std::string_view raw, TextEncoding encoding,
                std::u16string& text);

// UTF-16 to file text. Below AC1021 whatever the code page cannot hold goes
// out as \U+XXXX, never as raw UTF-8; control characters go out as ^ and a
// letter, so a value can never break the line structure.
std::string encodeText(std::u16string_view text, TextEncoding encoding);

// Convenience for names that are plain ASCII in practice.
std::u16string asciiToUtf16(std::string_view text);

#if defined(_WIN32)
// There the host's text is the system's wide character, UTF-16 as well.
bool decodeText(std::string_view raw, TextEncoding encoding,
                std::wstring& text);
std::string encodeText(std::wstring_view text, TextEncoding encoding);
#endif

}  // namespace dxf

#endif
