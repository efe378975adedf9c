// What the Markdown engines our users' editors use see in a numbered
// document: every heading with its level, identifier and text, every code
// block byte for byte, and no markup printed as text; after Delete, the
// same headings and code as the original. The engines are pandoc
// (CommonMark with attributes, and GFM) and markdown-it; an engine that is
// not installed is skipped with a line saying so.
#include <stdio.h>
#include <stdlib.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

struct Engine {
  const char* name;
  std::string command;  // renders the file named after it to HTML on standard output
  bool explicitIds;     // reads attribute blocks; else its identifiers come from the text
};

std::vector<Engine> Engines() {
  std::vector<Engine> engines;
  if (system("pandoc --version >/dev/null 2>&1") == 0) {
    engines.push_back({"pandoc -f commonmark+attributes+yaml_metadata_block",
                       "pandoc -f commonmark+attributes+yaml_metadata_block -t html", true});
    engines.push_back({"pandoc -f gfm+yaml_metadata_block", "pandoc -f gfm+yaml_metadata_block -t html", false});
  }
  const char* module = getenv("FOLIOSTAMP_MARKDOWN_IT");
  if (module != nullptr && system("node --version >/dev/null 2>&1") == 0) {
    // Editors hand the text over without its byte order mark, and read
    // front matter with a plugin of their own.
    std::string script = std::string("const md = require('") + module +
                         "')({html: true}); process.stdout.write(md.render("
                         "require('fs').readFileSync(process.argv[1], 'utf8').replace(/^\\uFEFF/, '')"
                         ".replace(/^---\\r?\\n[\\s\\S]*?\\r?\\n(---|[.][.][.])\\r?\\n/, '')));";
    engines.push_back({"markdown-it", "node -e \"" + script + "\"", false});
  }
  return engines;
}

std::string Render(const Engine& engine, const std::string& path) {
  std::string command = engine.command + " '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string html;
  if (pipe == nullptr) return html;
  char block[4096];
  size_t got;
  while ((got = fread(block, 1, sizeof block, pipe)) > 0) html.append(block, got);
  EXPECT_EQ(pclose(pipe), 0) << engine.name << ": " << html;
  return html;
}

std::string Squeeze(const std::string& text) {
  std::string out = std::regex_replace(text, std::regex("\\s+"), " ");
  out = std::regex_replace(out, std::regex("^ | $"), "");
  return out;
}

// Headings as "hN attributes | text", the annotation taken out of the text
// (counted in *annotations).
// Identifiers made from the text change with the annotation's page number,
// so only those an attribute block gives are compared.
std::vector<std::string> Headings(const std::string& html, const Engine& engine, int* annotations) {
  static const std::regex heading("<h([1-6])([^>]*)>([\\s\\S]*?)</h\\1>");
  static const std::regex annotation(
      "<span\\s+style=\"color:\\s+transparent;\"\\s*>\\s+\\.\\.\\.[0-9]+</span>");
  std::vector<std::string> found;
  for (std::sregex_iterator i(html.begin(), html.end(), heading), end; i != end; ++i) {
    std::string text = (*i)[3];
    std::string bare = std::regex_replace(text, annotation, "");
    if (bare != text) ++*annotations;
    std::string attributes = engine.explicitIds ? Squeeze((*i)[2].str()) : "";
    found.push_back("h" + (*i)[1].str() + " " + attributes + " | " + Squeeze(bare));
  }
  return found;
}

std::vector<std::string> CodeBlocks(const std::string& html) {
  static const std::regex code("<pre[^>]*>[\\s\\S]*?</pre>");
  std::vector<std::string> found;
  for (std::sregex_iterator i(html.begin(), html.end(), code), end; i != end; ++i) found.push_back(i->str());
  return found;
}

class RenderTest : public ::testing::TestWithParam<const char*> {
 protected:
  TempFolder folder;
};

TEST_P(RenderTest, EnginesSeeTheSameDocument) {
  std::vector<Engine> engines = Engines();
  if (engines.empty()) GTEST_SKIP() << "neither pandoc nor markdown-it is installed";
  const std::string original =
      ReadFileBytes(std::string(FOLIOSTAMP_FIXTURES) + "/" + GetParam());
  ASSERT_FALSE(original.empty());
  const std::string plain = folder.Path("plain.md");
  const std::string md = folder.Path("doc.md");
  WriteFileBytes(plain, original);
  WriteFileBytes(md, original);
  JobSettings settings;
  settings.markdownPath = md;
  settings.annotateHeadings = 1;
  settings.numberFirstPage = 1;
  settings.headerText = "Writer's notes";
  ASSERT_EQ(RunJobFull(Job::Insert, settings).outcome, JobOutcome::Done);
  const std::string numbered = folder.Path("numbered.md");
  WriteFileBytes(numbered, ReadFileBytes(md));
  ASSERT_EQ(RunJobFull(Job::Remove, settings).outcome, JobOutcome::Done);

  for (const Engine& engine : engines) {
    SCOPED_TRACE(engine.name);
    std::string before = Render(engine, plain);
    std::string after = Render(engine, numbered);
    std::string removed = Render(engine, md);
    int annotations = 0;
    std::vector<std::string> headings = Headings(before, engine, &annotations);
    EXPECT_GE(headings.size(), 3u);
    EXPECT_EQ(Headings(removed, engine, &annotations), headings);
    EXPECT_EQ(annotations, 0);
    EXPECT_EQ(Headings(after, engine, &annotations), headings);
    EXPECT_EQ(annotations, static_cast<int>(headings.size()));
    EXPECT_EQ(CodeBlocks(after), CodeBlocks(before));
    EXPECT_EQ(CodeBlocks(removed), CodeBlocks(before));
    // Our lines are HTML to every engine: none of it is printed as text
    // (code samples show such lines as text, and rightly).
    std::string prose = std::regex_replace(after, std::regex("<pre[^>]*>[\\s\\S]*?</pre>"), "");
    EXPECT_EQ(prose.find("&lt;span"), std::string::npos) << prose;
    EXPECT_EQ(prose.find("&lt;div"), std::string::npos) << prose;
    EXPECT_NE(after.find("Writer's notes"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RenderTest, ::testing::Values("guide.md", "glossary-ja.md", "list-fences.md"));

}  // namespace
