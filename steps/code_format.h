// Check-digit codes as the product shows them. Both formatters look at the
// first 18 characters of the text, ignore everything there but the digits,
// and rewrite the text only when the digits form a code whose modulo-11 check
// digit is right; otherwise the text is left as it is.
#pragma once

#include <string>

namespace steps {

// 8 digits, check digit over the first 7 with weights up to 9: "1234567-9".
bool FormatMod11Code8(std::string& code);

// 13 digits, check digit over the first 12 with weights up to 7:
// "123.456.789.012-3" (17 characters).
bool FormatMod11Code13(std::string& code);

}  // namespace steps
