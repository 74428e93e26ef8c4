#pragma once
// The program's own version text, as shown in the caption, the about box and the log header,
// and the texts the front ends build around it.

#include <cstdint>
#include <string>

namespace brevant {

// Product version a.b.c.d as two words: ms = a<<16 | b, ls = c<<16 | d. `a` is never shown.
std::string FormatProgramVersion(uint32_t ms, uint32_t ls);

// This build's product version words (1.35675.2.0), from the build configuration.
uint32_t BuiltProductVersionMs();
uint32_t BuiltProductVersionLs();
std::string BuiltProgramVersionText();

// String 57344.
inline constexpr const char* kProgramTitle = "Brevant Update";

// The idle text of the status area: instructions, then one line per model this build carries.
std::string BuildWelcomeText();

// "<title> - Build:  <version>" and "<title> Build:  <version>".
std::string BuildCaption(const std::string& title, const std::string& version);
std::string BuildAboutText(const std::string& title, const std::string& version);

}  // namespace brevant
