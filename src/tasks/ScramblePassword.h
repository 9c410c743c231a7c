#pragma once
// The reversible scrambling that keeps a task's password out of plain sight
// in the registry: a random first byte, then every byte chained to the one
// before and mixed with the user name, written as upper-case hexadecimal
// pairs. It hides the password from a casual look, nothing more.
#include <string>
#include <string_view>

#include "base/Exception.h"

namespace ns {

// A stored password that is not made of hexadecimal pairs, or holds nothing
// but the first pair.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A password that no first byte can store so that it reads back (possible
// only for long runs of "я" under a long user name).
class EScrambleError : public Exception {
 public:
  using Exception::Exception;
};

// Encodes (`encode` true) or decodes `text` with the user name `key`. The
// empty text gives the empty text either way. Encoding draws the first byte
// at random, so two encodings of one password differ; both decode to it.
// Decoding throws EConvertError, encoding EScrambleError.
std::string ScramblePassword(std::string_view text, std::string_view key, bool encode);

// Encoding with a chosen first byte, exactly as stored. The chained
// arithmetic cannot carry a "я" (0xFF) that follows an encoded 0xFF: such a
// result decodes to another password, which ScramblePassword never returns.
std::string EncodePassword(std::string_view text, std::string_view key, unsigned char first);

std::string DecodePassword(std::string_view scrambled, std::string_view key);

}  // namespace ns
