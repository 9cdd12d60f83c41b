// The tests' word error rate against its twin, bench/wer.py, run by python3:
// the same words from the same text, the same edit distance, the same
// transcripts. A rate the tests bound and a rate the benchmarks report must
// be one number.
#include "support/wer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/child.h"

namespace {

using nlohmann::json;

// Runs `program` (Python, with bench/ importable) on `input`; its output
// parsed as JSON, or null when python3 or the script failed.
json python(const std::string& program, const json& input) {
  testing_support::ChildOptions options;
  options.argv = {"/usr/bin/python3", "-c", "import json, sys\nsys.path.insert(0, '" BENCH_DIR "')\nimport wer\n" + program};
  const auto run = testing_support::run(options, input.dump(), 60);
  if (run.status != 0 || run.lines.empty()) {
    ADD_FAILURE() << "python3 failed, status " << run.status << ": " << run.stderrText;
    return nullptr;
  }
  return json::parse(run.lines.front(), nullptr, false);
}

TEST(WordErrorRate, WordsAreThoseOfTheBenchmarks) {
  const std::vector<std::string> texts = {
      "",
      "Mr. John Dashwood",
      "mr MR. Mr mrs mister",
      "<s> and mister john dashwood had then leisure </s>",
      "<S>Capital markers</S> <s>x</s>",
      "<<s>s> </s/> <s </s>>",
      "don't 'quoted' it's' ''",
      "TRC20. 4'5 123abc a-b_c d.e",
      "tab\tnew\nline\rreturn\x0b\x0c",
      "\u00dcn\u00efc\u00f6d\u00e9 w\u00f6rds stra\u00dfe",
      "\u0130stanbul \u212aelvin \u212b",
      "caf\u00e9\u2019s \u201cquoted\u201d \u2014 dash",
  };
  const json expected = python("print(json.dumps([wer.words(t) for t in json.load(sys.stdin)]))", texts);
  ASSERT_TRUE(expected.is_array());
  ASSERT_EQ(expected.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(wer::words(texts[i]), expected[i].get<std::vector<std::string>>()) << texts[i];
}

TEST(WordErrorRate, EditDistanceIsThatOfTheBenchmarks) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"", ""},
      {"a b c", ""},
      {"", "a b"},
      {"the cat sat on the mat", "the cat sat on the mat"},
      {"the cat sat on the mat", "a cat sat on mat today"},
      {"mister john dashwood", "Mr. John Dashwood."},
      {"one two three four", "four three two one"},
  };
  json input = json::array();
  for (const auto& [reference, hypothesis] : pairs) input.push_back(json::array({json(wer::words(reference)), json(wer::words(hypothesis))}));
  const json expected =
      python("print(json.dumps([wer.edit_distance(r, h) for r, h in json.load(sys.stdin)]))", input);
  ASSERT_TRUE(expected.is_array());
  ASSERT_EQ(expected.size(), pairs.size());
  for (size_t i = 0; i < pairs.size(); ++i)
    EXPECT_EQ(wer::errors(wer::words(pairs[i].first), wer::words(pairs[i].second)), expected[i].get<size_t>())
        << pairs[i].first << " / " << pairs[i].second;
}

TEST(WordErrorRate, TranscriptsAreThoseOfTheBenchmarks) {
  const json expected = python("json.load(sys.stdin)\nprint(json.dumps(wer.transcripts()))", nullptr);
  ASSERT_TRUE(expected.is_object());
  const auto transcripts = wer::librivoxTranscripts();
  ASSERT_EQ(transcripts.size(), expected.size());
  for (const auto& [name, text] : transcripts) {
    ASSERT_TRUE(expected.contains(name)) << name;
    EXPECT_EQ(wer::words(text), expected[name].get<std::vector<std::string>>()) << name;
  }
}

}  // namespace
