// Reading terrain heights: images through stb_image, elevation rasters through GDAL, no-data filled in.
#include "tools/terrain/terrain_source.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tools/scene/cli.h"
#include "tools/scene/picture.h"
#include "tools/scene/progress.h"

namespace {

// Decoded images are held whole while they are averaged or resized down, so they stay within 8192 x 8192;
// rasters are averaged by GDAL as they are read.
constexpr double kMostImagePixels = 1 << 26;
constexpr double kMostRasterCells = 1LL << 32;
constexpr const char* kShrinkHeights =
    "cut it into tiles or lower its resolution first (for example gdal_translate -outsize 25% 25%)";
constexpr const char* kShrinkPicture = "scale it down in an image editor first";

// The header of a picture stb_image reads, or of one that claims more pixels than an image may have (stb_image
// does not even read its size); nothing for what GDAL takes, such as a TIFF named .png.
std::optional<PictureHeader> ImageHeader(const std::string& file) {
  const std::string ext = Lower(std::filesystem::path(file).extension().string());
  for (const char* known : {".png", ".jpg", ".jpeg", ".tga", ".bmp"}) {
    if (ext != known) continue;
    PictureHeader header = HeaderOf(file);
    if (header.decodable || (header.claim && static_cast<double>(header.size.width) * header.size.height > kMostImagePixels))
      return header;
    break;
  }
  return std::nullopt;
}

void CheckReadable(const std::string& file) {
  std::error_code error;
  if (!std::filesystem::exists(file, error)) throw ToolError(file + ": no such file; check the path");
  if (std::filesystem::is_directory(file, error)) throw ToolError(file + ": is a folder; give a heightmap or elevation file");
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) throw ToolError(file + ": cannot be read: " + std::strerror(errno) + "; check its permissions");
  std::fclose(f);
}

std::string Most(double most) {
  const long long pixels = static_cast<long long>(most);
  const long long side = static_cast<long long>(std::sqrt(most));
  return side * side == pixels ? std::to_string(side) + " x " + std::to_string(side) : std::to_string(pixels);
}

// use names what the file is read for ("a terrain"), unit what it holds ("samples"), shrink how to make it smaller.
void CheckSize(const std::string& file, double width, double height, double most, const std::string& use,
               const char* unit, const char* shrink) {
  const std::string size = std::to_string(static_cast<long long>(width)) + " x " +
                           std::to_string(static_cast<long long>(height)) + " " + unit;
  if (width < 2 || height < 2) throw ToolError(file + ": is " + size + "; " + use + " needs at least 2 x 2");
  if (width * height > most)
    throw ToolError(file + ": " + size + " are more than glide-scene can hold (at most " + Most(most) + "); " + shrink);
}

template <typename Pixel>
using Decoded = std::unique_ptr<Pixel, void (*)(void*)>;

// CheckPicture with an image's limits: at least 2 x 2 pixels and at most kMostImagePixels.
void CheckImage(const std::string& file, const PictureHeader& header, const std::string& use, const char* shrink) {
  CheckPicture(
      header, file,
      [&](PictureSize size) { CheckSize(file, size.width, size.height, kMostImagePixels, use, "pixels", shrink); },
      ": not a picture glide-scene can read", "save it as PNG (8 or 16 bit), JPEG, TGA or BMP");
}

template <typename Pixel>
Decoded<Pixel> CheckDecoded(const std::string& file, Pixel* pixels) {
  if (!pixels) throw ToolError(file + ": the picture is damaged" + StbReason() + "; save it again from its editor");
  return Decoded<Pixel>(pixels, stbi_image_free);
}

// Every grid cell is the mean of the pixels whose centres fall into it, taken straight from the decoded
// picture so that no full-size copy is made.
template <typename Pixel>
HeightGrid AverageDown(const Pixel* pixels, int width, int height, int maxSide, double metresPerLevel) {
  const int outWidth = std::min(width, maxSide), outHeight = std::min(height, maxSide);
  HeightGrid out{outWidth, outHeight, static_cast<double>(width) / outWidth, static_cast<double>(height) / outHeight,
                 std::vector<float>(static_cast<size_t>(outWidth) * outHeight, 0)};
  std::vector<double> sums(out.z.size(), 0);
  std::vector<int> counts(out.z.size(), 0);
  for (int row = 0; row < height; ++row) {
    const size_t outRow = static_cast<size_t>(row) * outHeight / height;
    const Pixel* line = pixels + static_cast<size_t>(row) * width;
    for (int column = 0; column < width; ++column) {
      const size_t k = outRow * outWidth + static_cast<size_t>(column) * outWidth / width;
      sums[k] += line[column];
      ++counts[k];
    }
  }
  for (size_t k = 0; k < sums.size(); ++k) out.z[k] = static_cast<float>(sums[k] / counts[k] * metresPerLevel);
  return out;
}

HeightGrid ReadImage(const std::string& file, const PictureHeader& header, int maxSide) {
  CheckImage(file, header, "a terrain", kShrinkHeights);
  int width = 0, height = 0, channels = 0;
  // The full range of levels is a tenth of the longer side; eight-bit pictures are decoded as they are.
  const auto metresPerLevel = [&](double levels) { return std::max(width, height) / 10.0 / levels; };
  if (stbi_is_16_bit(file.c_str())) {
    const Decoded<stbi_us> pixels = CheckDecoded(file, stbi_load_16(file.c_str(), &width, &height, &channels, 1));
    return AverageDown(pixels.get(), width, height, maxSide, metresPerLevel(65535));
  }
  const Decoded<stbi_uc> pixels = CheckDecoded(file, stbi_load(file.c_str(), &width, &height, &channels, 1));
  return AverageDown(pixels.get(), width, height, maxSide, metresPerLevel(255));
}

// Each missing cell takes the mean of its nearest known neighbours, ring by ring outward from the known cells.
void FillMissing(HeightGrid* grid, std::vector<uint8_t> known) {
  const int w = grid->width, h = grid->height;
  const auto neighbours = [&](size_t k, auto&& visit) {
    const int column = static_cast<int>(k % w), row = static_cast<int>(k / w);
    if (column > 0) visit(k - 1);
    if (column + 1 < w) visit(k + 1);
    if (row > 0) visit(k - w);
    if (row + 1 < h) visit(k + w);
  };
  constexpr uint8_t kMissing = 0, kKnown = 1, kNext = 2;
  std::vector<size_t> ring;
  for (size_t k = 0; k < known.size(); ++k)
    if (known[k] == kKnown) ring.push_back(k);
  while (!ring.empty()) {
    std::vector<size_t> next;
    for (size_t k : ring)
      neighbours(k, [&](size_t m) {
        if (known[m] != kMissing) return;
        known[m] = kNext;
        next.push_back(m);
      });
    for (size_t m : next) {
      double sum = 0;
      int count = 0;
      neighbours(m, [&](size_t n) {
        if (known[n] != kKnown) return;
        sum += grid->z[n];
        ++count;
      });
      grid->z[m] = static_cast<float>(sum / count);
    }
    for (size_t m : next) known[m] = kKnown;
    ring = std::move(next);
  }
}

// Metres per degree of latitude and of longitude at a latitude, on the WGS 84 ellipsoid.
double MetresPerDegreeLatitude(double latitude) {
  const double phi = latitude * M_PI / 180;
  return 111132.92 - 559.82 * std::cos(2 * phi) + 1.175 * std::cos(4 * phi);
}
double MetresPerDegreeLongitude(double latitude) {
  const double phi = latitude * M_PI / 180;
  return 111412.84 * std::cos(phi) - 93.5 * std::cos(3 * phi);
}

struct DatasetClose {
  void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

std::string GdalReason() { return ReaderReason(CPLGetLastErrorMsg()); }

int CPL_STDCALL Reports(double fraction, const char*, void*) {
  ReportProgress(fraction);
  return TRUE;
}

HeightGrid ReadRaster(const std::string& file, int maxSide) {
  const Step reading(OnFile("reading", file), true);
  GDALAllRegister();
  CPLSetErrorHandler(CPLQuietErrorHandler);
  CPLErrorReset();
  // An ESRI ASCII grid whose first values are whole numbers is read as integers, which turns words such as
  // "-inf" into 0 unseen; read as reals, they reach the checks below.
  const GDALDriverH driver = GDALIdentifyDriver(file.c_str(), nullptr);
  const bool asciiGrid = driver && std::string(GDALGetDriverShortName(driver)) == "AAIGrid";
  const char* const asReals[] = {"DATATYPE=Float64", nullptr};
  std::unique_ptr<GDALDataset, DatasetClose> dataset(
      GDALDataset::Open(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, asciiGrid ? asReals : nullptr));
  if (!dataset || dataset->GetRasterCount() < 1)
    throw ToolError(file + ": not a heightmap or elevation raster glide-scene can read" + GdalReason() +
                    "; use PNG, JPEG, TGA, BMP, GeoTIFF, SRTM .hgt, an ESRI ASCII grid or another raster GDAL reads");
  const int sourceWidth = dataset->GetRasterXSize(), sourceHeight = dataset->GetRasterYSize();
  CheckSize(file, sourceWidth, sourceHeight, kMostRasterCells, "a terrain", "samples", kShrinkHeights);
  HeightGrid grid;
  grid.width = std::min(sourceWidth, maxSide);
  grid.height = std::min(sourceHeight, maxSide);
  grid.z.resize(static_cast<size_t>(grid.width) * grid.height);
  GDALRasterBand* band = dataset->GetRasterBand(1);
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = GRIORA_Average;
  extra.pfnProgress = Reports;
  if (band->RasterIO(GF_Read, 0, 0, sourceWidth, sourceHeight, grid.z.data(), grid.width, grid.height, GDT_Float32,
                     0, 0, &extra) != CE_None)
    throw ToolError(file + ": its heights cannot be read" + GdalReason() + "; the file may be truncated or damaged");

  double transform[6] = {0, 1, 0, 0, 0, -1};
  const bool placed = dataset->GetGeoTransform(transform) == CE_None;
  double unitX = 1, unitY = 1;
  const OGRSpatialReference* reference = dataset->GetSpatialRef();
  if (placed && reference && reference->IsGeographic()) {
    const double latitude = transform[3] + transform[5] * sourceHeight / 2;
    if (!(std::fabs(latitude) < 90))
      throw ToolError(file + ": its georeferencing puts the centre at latitude " + std::to_string(latitude) +
                      "; fix the file's geotransform");
    unitX = MetresPerDegreeLongitude(latitude);
    unitY = MetresPerDegreeLatitude(latitude);
  } else if (placed && reference && reference->IsProjected()) {
    unitX = unitY = reference->GetLinearUnits();
  }
  grid.cellX = std::hypot(transform[1], transform[4]) * unitX * sourceWidth / grid.width;
  grid.cellY = std::hypot(transform[2], transform[5]) * unitY * sourceHeight / grid.height;

  int hasNoData = 0;
  const double noData = band->GetNoDataValue(&hasNoData);
  const bool noDataIsNaN = hasNoData && std::isnan(noData);
  std::vector<uint8_t> known(grid.z.size(), 1);
  bool anyKnown = false, anyMissing = false;
  for (size_t k = 0; k < grid.z.size(); ++k) {
    const float v = grid.z[k];
    const bool missing = hasNoData && (noDataIsNaN ? std::isnan(v) : v == static_cast<float>(noData));
    known[k] = !missing;
    anyMissing = anyMissing || missing;
    anyKnown = anyKnown || !missing;
  }
  if (!anyKnown) throw ToolError(file + ": every cell is no-data, so there is no height to use; check the file's no-data value");
  CheckHeights(grid, file, sourceWidth, sourceHeight, known);
  if (anyMissing) FillMissing(&grid, std::move(known));
  return grid;
}

}  // namespace

void CheckHeights(const HeightGrid& grid, const std::string& file, int sourceWidth, int sourceHeight,
                  const std::vector<uint8_t>& known) {
  if (!(grid.cellX >= kLeastCell && grid.cellX <= kMostCell && grid.cellY >= kLeastCell && grid.cellY <= kMostCell))
    throw ToolError(file + ": its cells are " + Number(grid.cellX) + " by " + Number(grid.cellY) +
                    " metres, not between " + Number(kLeastCell) + " and " + Number(kMostCell) +
                    "; fix the file's geotransform (its cell size)");
  for (size_t k = 0; k < grid.z.size(); ++k) {
    const float v = grid.z[k];
    if (!known.empty() && !known[k]) continue;
    if (std::fabs(v) <= kMostHeight) continue;
    // An averaged cell stands for a block of the raster's cells: its middle one is named.
    const bool averaged = grid.width < sourceWidth || grid.height < sourceHeight;
    const auto middle = [](size_t cell, int source, int held) {
      return std::to_string(static_cast<long long>((cell + 0.5) * source / held));
    };
    const std::string where = std::string(averaged ? "near" : "at") + " row " +
                              middle(k / grid.width, sourceHeight, grid.height) + ", column " +
                              middle(k % grid.width, sourceWidth, grid.width);
    if (std::isnan(v))
      throw ToolError(file + ": holds a height that is not a number " + where +
                      "; mark such cells as no-data (gdal_translate -a_nodata nan IN OUT) or fill them");
    throw ToolError(file + ": holds the height " + Number(v) + " " + where + ", beyond the " + Number(kMostHeight) +
                    " metres any ground reaches; if it marks missing cells, declare it as the no-data value "
                    "(gdal_translate -a_nodata " + Number(v) + " IN OUT), otherwise correct the cell");
  }
}

float HeightGrid::Sample(double column, double row) const {
  const int c = std::clamp(static_cast<int>(column), 0, width - 2);
  const int r = std::clamp(static_cast<int>(row), 0, height - 2);
  const double fc = column - c, fr = row - r;
  const double top = At(c, r) + (At(c + 1, r) - At(c, r)) * fc;
  const double bottom = At(c, r + 1) + (At(c + 1, r + 1) - At(c, r + 1)) * fc;
  return static_cast<float>(top + (bottom - top) * fr);
}

HeightGrid ReadHeights(const std::string& file, int maxSide) {
  CheckReadable(file);
  const std::optional<PictureHeader> header = ImageHeader(file);
  if (!header) return ReadRaster(file, maxSide);
  const Step decoding(OnFile("decoding", file), false);
  return ReadImage(file, *header, maxSide);
}

Picture ReadPicture(const std::string& file, const PictureHeader& header, int mostSide, const std::string& use) {
  CheckReadable(file);
  CheckImage(file, header, use, kShrinkPicture);
  const Step decoding(OnFile("decoding", file), false);
  int width = 0, height = 0, channels = 0;
  const Decoded<stbi_uc> pixels = CheckDecoded(file, stbi_load(file.c_str(), &width, &height, &channels, 3));
  return TexturePicture(pixels.get(), width, height, mostSide, file);
}

Picture TexturePicture(const uint8_t* rgb, int width, int height, int mostSide, const std::string& file) {
  Picture picture;
  picture.width = PowerOfTwoAtMost(width, mostSide);
  picture.height = PowerOfTwoAtMost(height, mostSide);
  std::vector<uint8_t> resized(static_cast<size_t>(picture.width) * picture.height * 3);
  if (!stbir_resize_uint8(rgb, width, height, 0, resized.data(), picture.width, picture.height, 0, 3))
    throw ToolError(file + ": the picture cannot be resized; save it smaller");
  const size_t row = static_cast<size_t>(picture.width) * 3;
  picture.rgb.reserve(resized.size());
  for (int r = picture.height - 1; r >= 0; --r)
    picture.rgb.insert(picture.rgb.end(), resized.begin() + r * row, resized.begin() + (r + 1) * row);
  return picture;
}

int PowerOfTwoAtMost(int n, int most) {
  int side = 1;
  while (side * 2 <= n && side * 2 <= most) side *= 2;
  return side;
}
