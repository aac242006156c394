// Terrain inputs: heightmap images and elevation rasters read into one grid of heights in metres.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/scene/picture.h"

struct HeightGrid {
  int width = 0;          // samples from west to east
  int height = 0;         // rows from north to south
  double cellX = 1;       // metres between neighbouring samples along a row
  double cellY = 1;       // metres between neighbouring rows
  std::vector<float> z;   // metres, row 0 the northern edge

  float At(int column, int row) const { return z[static_cast<size_t>(row) * width + column]; }
  // Bilinear height at a fractional column and row inside the grid.
  float Sample(double column, double row) const;
};

// The heights of an image (PNG 8 and 16 bit, JPEG, TGA, BMP) or of any raster GDAL reads. Rasters larger
// than maxSide along a side are averaged down to it as they are read. Images carry no units: a pixel is a
// metre and the full range of values a tenth of the longer side. No-data cells of rasters are filled from
// their neighbours. Throws ToolError naming the file for anything it cannot use.
HeightGrid ReadHeights(const std::string& file, int maxSide);

// What a terrain may hold, in metres: heights within +-kMostHeight (deeper than any sea, higher than any
// mountain, with room for other planets) and cells between kLeastCell and kMostCell on a side.
constexpr double kMostHeight = 1e6;
constexpr double kLeastCell = 1e-6, kMostCell = 1e7;

// Throws ToolError naming the file, and the first cell and its value, for a height that is not a number or
// beyond kMostHeight, or for cells of a size outside kLeastCell..kMostCell. Cells where known is 0 (no-data)
// are skipped; an empty known checks every cell. A grid averaged down from sourceWidth x sourceHeight
// samples names the source's cell in the middle of the block.
void CheckHeights(const HeightGrid& grid, const std::string& file, int sourceWidth, int sourceHeight,
                  const std::vector<uint8_t>& known = {});

// A colour picture resized to power-of-two sides of at most mostSide, packed RGB rows from the bottom, as a
// texture of the scene holds it. use says what it is for in messages ("a sky panorama"); header is the file's
// (HeaderOf). Throws ToolError naming the file for anything it cannot use.
Picture ReadPicture(const std::string& file, const PictureHeader& header, int mostSide, const std::string& use);
// The same from decoded pixels: width x height packed RGB rows from the top.
Picture TexturePicture(const uint8_t* rgb, int width, int height, int mostSide, const std::string& file);

// The largest power of two at most n and at most most (1 for n below 2).
int PowerOfTwoAtMost(int n, int most);
