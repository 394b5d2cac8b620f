// Shared by `lint` (lint.h), `explain` (explain.h) and the command line:
// how close two keys or names are, for "did you mean" answers.
#pragma once

#include <cstddef>
#include <string>

namespace t2dhost {

// How many single-letter edits (insertions, deletions, substitutions and
// swaps of neighbours) turn `a` into `b`, letter case ignored; counting stops
// at `limit` + 1.
size_t EditDistance(const std::string& a, const std::string& b, size_t limit);

}  // namespace t2dhost
