// The Markdown markers the jobs look for and write, compared byte for byte.
#pragma once

inline constexpr char kPageBreakMarker[] = "<div style=\"page-break-after:always";
inline constexpr char kTocMarker[] = "[TOC]";
inline constexpr char kNumberDivHead[] = "<div style=\"text-align:";
// Right after the div's style: the span that holds the header and numbers.
inline constexpr char kNumberSpanHead[] = "\"><span style=\"";
// Between a header and the numbers.
inline constexpr char kHeaderSpaces[] = "&nbsp;&nbsp;&nbsp;";
inline constexpr char kNumberDivTail[] = "</span></div>";
inline constexpr char kHeadingAnnotation[] = " <span style=\"color: transparent;\">";
