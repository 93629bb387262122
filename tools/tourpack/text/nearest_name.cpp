#include "text/nearest_name.h"

#include <algorithm>
#include <cctype>

namespace tourpack {
namespace {

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::size_t editDistance(const std::string& from, const std::string& to) {
    std::vector<std::size_t> row(to.size() + 1);
    for (std::size_t j = 0; j <= to.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= from.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t replaced = diagonal + (from[i - 1] == to[j - 1] ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, replaced});
            diagonal = above;
        }
    }
    return row[to.size()];
}

NearestName nearestName(const std::string& given, const std::vector<std::string>& known) {
    NearestName nearest;
    bool first = true;
    for (const std::string& name : known) {
        const std::size_t distance = editDistance(lowered(given), lowered(name));
        if (first || distance < nearest.distance) {
            nearest = {name, distance};
            first = false;
        }
    }
    return nearest;
}

}  // namespace tourpack
