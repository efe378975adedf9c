#include "paging/heading_cut.h"

#include "paging/markers.h"

namespace {

constexpr size_t kLength = sizeof kHeadingAnnotation - 1;

// Where a partial match goes on after a mismatch: the longest proper
// prefix of the annotation that ends its first m bytes (Knuth-Morris-Pratt).
struct Fallback {
  size_t to[kLength + 1];
};

constexpr Fallback MakeFallback() {
  Fallback f = {};
  size_t k = 0;
  for (size_t m = 2; m <= kLength; ++m) {
    while (k > 0 && kHeadingAnnotation[m - 1] != kHeadingAnnotation[k]) k = f.to[k];
    if (kHeadingAnnotation[m - 1] == kHeadingAnnotation[k]) ++k;
    f.to[m] = k;
  }
  return f;
}

constexpr Fallback kFallback = MakeFallback();

void Keep(HeadingCut* h, LineWriter* w, const char* data, size_t length) {
  WriteBytes(w, data, length);
  h->kept += length;
}

void WriteCrs(LineWriter* w, uint64_t count) {
  static const char kCrs[64] = {'\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r',
                                '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r',
                                '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r',
                                '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r',
                                '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r',
                                '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r', '\r'};
  while (count > 0) {
    size_t chunk = count < sizeof kCrs ? static_cast<size_t>(count) : sizeof kCrs;
    WriteBytes(w, kCrs, chunk);
    count -= chunk;
  }
}

void ReleaseMatch(HeadingCut* h, LineWriter* w) {
  Keep(h, w, kHeadingAnnotation, h->matched);
  h->matched = 0;
}

// CR bytes followed by something else are part of the text.
void ReleaseCrs(HeadingCut* h, LineWriter* w) {
  WriteCrs(w, h->heldCr);
  h->kept += h->heldCr;
  h->heldCr = 0;
}

}  // namespace

void StartHeadingCut(HeadingCut* h) {
  h->matched = 0;
  h->heldCr = 0;
  h->endsWithLf = false;
  h->cut = false;
  h->kept = 0;
}

void FeedHeadingCut(HeadingCut* h, LineWriter* w, const char* data, size_t length) {
  size_t run = 0;  // data[run, i) is plain text still to be written
  for (size_t i = 0; i < length && !h->cut; ++i) {
    char c = data[i];
    if (h->matched == 0 && h->heldCr == 0 && c != kHeadingAnnotation[0] && c != '\r' && c != '\n') {
      continue;
    }
    Keep(h, w, data + run, i - run);
    run = i + 1;
    if (c == '\r' || c == '\n') {
      ReleaseMatch(h, w);
      if (c == '\r') {
        ++h->heldCr;
      } else {
        h->endsWithLf = true;  // LF is always the line's last byte
      }
      continue;
    }
    ReleaseCrs(h, w);
    while (h->matched > 0 && kHeadingAnnotation[h->matched] != c) {
      size_t back = kFallback.to[h->matched];
      Keep(h, w, kHeadingAnnotation, h->matched - back);
      h->matched = back;
    }
    if (kHeadingAnnotation[h->matched] == c) {
      if (++h->matched == kLength) h->cut = true;
    } else {
      Keep(h, w, data + i, 1);
    }
  }
  if (!h->cut) Keep(h, w, data + run, length - run);
}

void FinishHeadingCut(HeadingCut* h, LineWriter* w, bool keepEnding) {
  if (h->cut) return;
  ReleaseMatch(h, w);
  if (!keepEnding) return;
  WriteCrs(w, h->heldCr);
  if (h->endsWithLf) WriteBytes(w, "\n", 1);
}
