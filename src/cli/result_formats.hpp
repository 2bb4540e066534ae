#pragma once
// The forms a result is written in: JSON with every number of the result at
// full precision, a CSV row of the main numbers, and the block a person reads.
#include <string>

#include <nlohmann/json.hpp>

#include "quorvel/quorvel.hpp"

namespace quorvel::cli {

// Every number of the result (the report texts aside) under `name`; a
// number that was not computed (NaN) is null, a 32-bit quantity of the run
// (p-values, λ̂, e, the band, the planes, the fractiles) the shortest
// decimal that reads back as the same float.
nlohmann::ordered_json result_json(const std::string& name, const Result& r);
// The object of an input that failed.
nlohmann::ordered_json failure_json(const std::string& name, const std::string& message);
// The JSON as one line of text; bytes that are not UTF-8 are replaced by
// U+FFFD, never an error.
std::string json_text(const nlohmann::ordered_json& j);

// The CSV columns: name, N, M, e, the four p-values, the four Shuffled
// ones, λ̂ (each the shortest decimal of its float), the warnings (joined
// by "; ", each once with its count) and the error of a failed input.
std::string csv_header();
std::string csv_row(const std::string& name, const Result& r);
std::string csv_failure_row(const std::string& name, const std::string& message);

// The results block: p-values, Shuffled p-values, λ̂, e, M and the warnings
// (each once with its count).
std::string text_block(const std::string& name, const Result& r);

}  // namespace quorvel::cli
