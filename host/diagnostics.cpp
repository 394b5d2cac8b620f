#include "diagnostics.h"

#include <algorithm>
#include <vector>

namespace t2dhost {

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b, size_t limit) {
  const std::string x = Lower(a), y = Lower(b);
  if ((x.size() > y.size() ? x.size() - y.size() : y.size() - x.size()) > limit) return limit + 1;
  // Optimal string alignment distance, three rows.
  std::vector<size_t> before(y.size() + 1), previous(y.size() + 1), current(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    current[0] = i;
    size_t best = current[0];
    for (size_t j = 1; j <= y.size(); ++j) {
      const size_t cost = x[i - 1] == y[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
        current[j] = std::min(current[j], before[j - 2] + 1);
      best = std::min(best, current[j]);
    }
    if (best > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return std::min(previous[y.size()], limit + 1);
}

}  // namespace t2dhost
