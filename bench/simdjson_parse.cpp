// simdjson's DOM parse of a task file, the stretch mark of the end-to-end
// goal in bench/ratios.py: loads the file once, parses it RUNS times and
// prints the best parse time in seconds. Built only where libsimdjson-dev is
// installed; no part of ticket2dict uses simdjson.
//   t2d_simdjson_parse FILE [RUNS]
#include <simdjson.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "t2d_simdjson_parse FILE [RUNS]\n";
    return 2;
  }
  char* end = nullptr;
  const long runs = argc == 3 ? std::strtol(argv[2], &end, 10) : 5;
  if ((argc == 3 && *end != '\0') || runs < 1 || runs > 1000) {
    std::cerr << "t2d_simdjson_parse: RUNS must be a number from 1 to 1000\n";
    return 2;
  }
  simdjson::padded_string text;
  if (simdjson::padded_string::load(argv[1]).get(text) != simdjson::SUCCESS) {
    std::cerr << "t2d_simdjson_parse: can't read " << argv[1] << "\n";
    return 1;
  }
  simdjson::dom::parser parser;
  double best = -1.0;
  for (long i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    simdjson::dom::element document;
    const simdjson::error_code error = parser.parse(text).get(document);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (error != simdjson::SUCCESS) {
      std::cerr << "t2d_simdjson_parse: " << argv[1] << ": " << simdjson::error_message(error) << "\n";
      return 1;
    }
    if (best < 0 || elapsed.count() < best) best = elapsed.count();
  }
  std::cout << best << "\n";
  return 0;
}
