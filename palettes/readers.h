#pragma once
// The readers and detectors of the single formats, for the table of palette_formats(). Each
// reader returns what PaletteFormat::read does.

#include "palettes/palette.h"

namespace palettes {

std::string read_jasc(const std::string& bytes, Palette* palette);
std::string read_gpl(const std::string& bytes, Palette* palette);
std::string read_hex(const std::string& bytes, Palette* palette);
std::string read_paintnet(const std::string& bytes, Palette* palette);
std::string read_riff(const std::string& bytes, Palette* palette);
std::string read_aco(const std::string& bytes, Palette* palette);
std::string read_png(const std::string& bytes, Palette* palette);
std::string read_act(const std::string& bytes, Palette* palette);

bool is_jasc(const std::string& bytes);
bool is_gpl(const std::string& bytes);
bool is_hex(const std::string& bytes);
bool is_paintnet(const std::string& bytes);
bool is_riff(const std::string& bytes);
bool is_aco(const std::string& bytes);
bool is_png(const std::string& bytes);
bool is_act(const std::string& bytes);

} // namespace palettes
