#pragma once

#include <glib.h>

#include <string>

// 2,000 characters of mixed Korean, English and emoji text, lines of a realistic length.
inline std::string twoThousandCharacters() {
  std::string line = "회의 자료를 검토해 주셔서 감사합니다. Thanks for the review! 😀\n";
  std::string text;
  while (g_utf8_strlen(text.c_str(), -1) + g_utf8_strlen(line.c_str(), -1) <= 2000)
    text += line;
  while (g_utf8_strlen(text.c_str(), -1) < 2000)
    text += "가";
  return text;
}
