// Frame rendering, the bitmap font and the overlay, and the read-back of a finished frame.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

extern int bLoaded;         // 1 once the first frame has loaded the scene (Render: RenderScene)
extern unsigned int base;   // first of the 96 glyph display lists (Text: BuildFont)

void RenderScene();
void DrawHorizon(int i, int j);
void DrawLocation(int i, int j);
void DrawObjects(int i, int j);
void DrawGlader(int k);
void DrawAxes();
void DrawPlumbLine();

void BuildFont();
void PrintText(const char* format, ...) GLIDE_PRINTF(1, 2);
void DrawOverlay();
// The three overlay lines as DrawOverlay prints them.
void FormatOverlayLines(char lines[3][255]);

// The current back buffer as bottom-up RGB rows of the viewport's size.
void ReadFramePixels(std::vector<uint8_t>* rgb, int* width, int* height);
