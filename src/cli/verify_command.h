// `foliostamp-cli verify [--fix] FILE.md FILE.pdf`: compares a numbered
// Markdown file with the PDF exported from it, and with --fix rewrites the
// numbers to agree with the PDF.
#pragma once

// True when the command word (the first argument) is "verify".
bool IsVerifyCommand(int argc, const char* const* argv);

// Runs the command; argv[1] is "verify". Answers the exit status: 0 agree
// or written, 1 disagreement or a problem with a file, 2 usage error or no
// PDF support in this build.
int RunVerifyCommand(int argc, const char* const* argv);
