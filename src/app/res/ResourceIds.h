#pragma once
// Numbers of the program's resources, shared by the resource scripts and the
// code that loads them.
#define IDI_NIGHTSHELF 1
#define IDI_GLYPH_INSERT 101
#define IDI_GLYPH_EDIT 102
#define IDI_GLYPH_DELETE 103
#define IDI_GLYPH_OPTIONS 104
#define IDI_GLYPH_INFO 105
#define IDI_GLYPH_OK 106
#define IDI_GLYPH_OPEN_FOLDER 107
