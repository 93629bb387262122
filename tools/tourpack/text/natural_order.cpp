#include "text/natural_order.h"

#include <cctype>

namespace tourpack {
namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Bytes compare unsigned, so that letters beyond ASCII (UTF-8 bytes from
// 0x80) come after the ASCII ones.
unsigned char folded(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

// Compares the digit runs starting at a[i] and b[j] by value and advances past
// them; returns <0, 0 or >0.
int compareNumbers(const std::string& a, std::size_t& i, const std::string& b, std::size_t& j) {
    while (i < a.size() && a[i] == '0' && i + 1 < a.size() && isDigit(a[i + 1])) {
        ++i;
    }
    while (j < b.size() && b[j] == '0' && j + 1 < b.size() && isDigit(b[j + 1])) {
        ++j;
    }
    const std::size_t startA = i;
    const std::size_t startB = j;
    while (i < a.size() && isDigit(a[i])) {
        ++i;
    }
    while (j < b.size() && isDigit(b[j])) {
        ++j;
    }
    // Without leading zeros the longer run is the larger number, whatever its
    // length (no overflow for long runs of digits).
    if (i - startA != j - startB) {
        return i - startA < j - startB ? -1 : 1;
    }
    return a.compare(startA, i - startA, b, startB, j - startB);
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const int order = compareNumbers(a, i, b, j);
            if (order != 0) {
                return order < 0;
            }
            continue;
        }
        if (folded(a[i]) != folded(b[j])) {
            return folded(a[i]) < folded(b[j]);
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return j < b.size();  // the shorter name, a prefix of the other, first
    }
    return a < b;
}

}  // namespace tourpack
