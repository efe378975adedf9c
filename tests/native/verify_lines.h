// Markdown lines as the numbering job writes them, for the verify tests.
#pragma once

#include <string>

inline const std::string kVerifyBreak = "<div style=\"page-break-after:always\"></div>";

inline std::string NumberLine(const std::string& header, int reads, int total, bool paren = false) {
  std::string numbers = paren ? " ( " + std::to_string(reads) + " / " + std::to_string(total) + " )"
                              : " " + std::to_string(reads) + " / " + std::to_string(total);
  return "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\">" + header +
         (header.empty() ? "" : "&nbsp;&nbsp;&nbsp;") + numbers + "</span></div>";
}

inline std::string Heading(const std::string& marks, const std::string& text, int page) {
  return marks + " " + text + " <span style=\"color: transparent;\"> ..." + std::to_string(page) +
         "</span>";
}
