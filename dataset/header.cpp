#include "dataset/header.h"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>

namespace qv::dataset {

bool fits(double v, const Range& r) {
    if (v == 0) return r.zero;
    if (std::signbit(v) && !r.negative) return false;
    const double size = std::abs(v);
    return size >= kSmallest && size <= r.largest;
}

std::string num(double v) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << v;
    return text.str();
}

std::string exact(double v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

std::string describe(const Range& r) {
    return (r.zero ? "0 or from " : "from ") + num(kSmallest) + " to " + num(r.largest) +
           (r.negative ? " in size" : "");
}

void writeHeaderLine(std::ostream& out, const Header& h) {
    const char* blank = "";
    for (const HeaderField& f : kHeaderFields) {
        out << blank;
        if (f.whole != nullptr)
            out << h.*f.whole;
        else
            out << h.*f.real;
        blank = " ";
    }
}

}  // namespace qv::dataset
