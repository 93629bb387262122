// The code page a tour's texts are stored in, as its extension block records
// it; read by the tools from the block's bytes, so that they give the texts
// back as they were written.
#pragma once

#include <cstdint>
#include <istream>

namespace tourpack {

// The code page the "text-code-page" section of the extension block in
// [begin, end) of `stream` records; Windows-1252 when there is no block, no
// such section or the block cannot be read.
int readTextCodePage(std::istream& stream, std::int64_t begin, std::int64_t end);

}  // namespace tourpack
