// Numbers the user wants no page to carry, counted per number.
#pragma once

#include <stdint.h>

constexpr int kSkipTableSize = 10000;

// Counts how often each number from 1 to 9999 is mentioned in text. Numbers
// are separated by ',' and ' '; text where a number should begin but none
// does is passed over up to the next ',' or ' '. Counters stop at 127.
void FillSkipTable(const char* text, int8_t table[kSkipTableSize]);

// The number of pages a "[TOC]" line stands for: the leading number of
// text, at least 1.
int32_t ReadTocPages(const char* text);
