// glide-scene new, terrain and sky on heightmaps and rasters the tests write, checked as glide loads them.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>

#include "config/config.h"
#include "physics/physics.h"
#include "scene_tool.h"
#include "support.h"
#include "tools/scene/scene_view.h"
#include "tools/terrain/terrain_mesh.h"

namespace {

namespace fs = std::filesystem;

// A raster written through GDAL's own drivers: values row by row from the north-west corner.
void WriteRaster(const std::string& name, const char* driver, int w, int h, GDALDataType type,
                 const std::function<double(int, int)>& value, const double* transform = nullptr, int epsg = 0,
                 std::optional<double> noData = std::nullopt) {
  GDALAllRegister();
  GDALDataset* memory = GetGDALDriverManager()->GetDriverByName("MEM")->Create("", w, h, 1, type, nullptr);
  std::vector<double> values;
  for (int row = 0; row < h; ++row)
    for (int column = 0; column < w; ++column) values.push_back(value(column, row));
  ASSERT_EQ(memory->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, w, h, values.data(), w, h, GDT_Float64, 0, 0, nullptr),
            CE_None);
  if (transform) memory->SetGeoTransform(const_cast<double*>(transform));
  if (epsg) {
    OGRSpatialReference reference;
    reference.importFromEPSG(epsg);
    memory->SetSpatialRef(&reference);
  }
  if (noData) memory->GetRasterBand(1)->SetNoDataValue(*noData);
  GDALDataset* copy =
      GetGDALDriverManager()->GetDriverByName(driver)->CreateCopy(name.c_str(), memory, FALSE, nullptr, nullptr, nullptr);
  ASSERT_NE(copy, nullptr) << name;
  GDALClose(copy);
  GDALClose(memory);
}

// What glide reads from the scene folder, loaded as glide loads it.
struct Loaded {
  SceneLoad load;
  const CModel* terrain;
};

Loaded LoadScene(const std::string& dir) {
  const fs::path back = fs::current_path();
  fs::current_path(dir);
  Loaded loaded{LoadSceneAsGlide(), LocationModel.empty() ? nullptr : &LocationModel[0]};
  fs::current_path(back);
  return loaded;
}

// The mesh's own height at (x, y): the highest face whose projection holds the point.
std::optional<double> MeshHeight(const CModel& m, double x, double y) {
  std::optional<double> best;
  for (int32_t f = 0; f < m.CountFace; ++f) {
    const CVertex3& a = m.Vertices[m.Face[f].Index[0]];
    const CVertex3& b = m.Vertices[m.Face[f].Index[1]];
    const CVertex3& c = m.Vertices[m.Face[f].Index[2]];
    const double d = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
    const double u = ((b.y - c.y) * (x - c.x) + (c.x - b.x) * (y - c.y)) / d;
    const double v = ((c.y - a.y) * (x - c.x) + (a.x - c.x) * (y - c.y)) / d;
    if (u < -1e-9 || v < -1e-9 || u + v > 1 + 1e-9) continue;
    const double z = u * a.z + v * b.z + (1 - u - v) * c.z;
    best = best ? std::max(*best, z) : z;
  }
  return best;
}

// The scene's terrain against the raster it came from, heights in metres given by height(column, row) at
// the raster's samples and linear between them.
struct Expect {
  int columns, rows;                           // raster samples
  double cellX, cellY;                         // metres
  std::function<double(double, double)> metres;
  double exaggerate = 1;
  double cellTolerance = 0.002;                // relative
  double residual = 2e-4;                      // units
};

class SceneTerrain : public testing::Test {
 protected:
  void SetUp() override { Ok("new scene"); }

  // Checks placement, heights, cell size, texture, face grid and settings, and returns the loaded scene.
  Loaded Check(const Expect& e, const std::string& name, const std::string& said) {
    Loaded s = LoadScene("scene");
    EXPECT_NE(s.terrain, nullptr);
    if (!s.terrain) return s;
    const CModel& m = *s.terrain;
    const Settings& set = s.load.settings;
    EXPECT_EQ(std::string(LocationLinks.at(0).NameModel), "Location/" + name);

    // Centred on the origin, the longer side 1000 units, the sides in the raster's true proportion.
    EXPECT_FLOAT_EQ(minX, -maxX);
    EXPECT_FLOAT_EQ(minY, -maxY);
    const double unitsX = maxX - minX, unitsY = maxY - minY, longer = std::max(unitsX, unitsY);
    EXPECT_NEAR(longer, 1000, 2);
    const double metresX = (e.columns - 1) * e.cellX, metresY = (e.rows - 1) * e.cellY;
    EXPECT_NEAR(unitsX / unitsY, metresX / metresY, 0.005 * metresX / metresY);

    // Every vertex at the raster's height in true proportion: the heights' scale, with the sides' length in
    // units, gives the cells' size in metres.
    const auto metresAt = [&](double x, double y) {
      return e.metres((x - minX) / unitsX * (e.columns - 1), (maxY - y) / unitsY * (e.rows - 1));
    };
    double sm = 0, sz = 0, smm = 0, smz = 0;
    int n = 0;
    const int32_t stride = std::max(1, m.CountVertices / 5000);
    for (int32_t k = 1; k <= m.CountVertices; k += stride, ++n) {
      const double h = metresAt(m.Vertices[k].x, m.Vertices[k].y), z = m.Vertices[k].z;
      sm += h;
      sz += z;
      smm += h * h;
      smz += h * z;
    }
    const double scale = (n * smz - sm * sz) / (n * smm - sm * sm), offset = (sz - scale * sm) / n;
    double worst = 0;
    for (int32_t k = 1; k <= m.CountVertices; k += stride)
      worst = std::max(worst, std::fabs(m.Vertices[k].z - (scale * metresAt(m.Vertices[k].x, m.Vertices[k].y) + offset)));
    EXPECT_LT(worst, e.residual);
    const double unitsPerMetre = scale / e.exaggerate;
    EXPECT_NEAR(unitsX / (e.columns - 1) / unitsPerMetre, e.cellX, e.cellX * e.cellTolerance);
    EXPECT_NEAR(unitsY / (e.rows - 1) / unitsPerMetre, e.cellY, e.cellY * e.cellTolerance);
    EXPECT_NEAR(GroundHeight(0, 0).value_or(NAN), -set.groundClearance, 1e-3);

    // A power-of-two texture with a 40-byte header, at most 4096 a side.
    EXPECT_EQ(s.load.textures.at(0).file, "Location/" + name + ".bmp");
    const RGBImage* texture = s.load.textures.at(0).image;
    for (int side : {texture ? texture->width : 3, texture ? texture->height : 3})
      EXPECT_TRUE(side <= 4096 && (side & (side - 1)) == 0) << side;
    const std::string bmp = ReadFile("scene/Location/" + name + ".bmp");
    EXPECT_TRUE(bmp.size() > 28 && bmp[14] == 40 && bmp[28] == 24);

    // No face-grid cell holds more than it can when every face is filed three times; the tool says which.
    EXPECT_TRUE(set.gridDivisions == std::floor(set.gridDivisions) && set.gridDivisions >= 1 && set.gridDivisions < 254)
        << set.gridDivisions;
    const std::vector<int32_t> filings = CellFilings(m, set.gridDivisions);
    const int fullest = *std::max_element(filings.begin(), filings.end());
    EXPECT_LE(fullest, 254);
    EXPECT_NE(said.find("grid divisions " + std::to_string(static_cast<int>(set.gridDivisions)) + ", fullest cell " +
                        std::to_string(fullest) + " of 254"),
              std::string::npos)
        << said;

    // Ground following finds the ground everywhere over the terrain, at the mesh's height.
    int missed = 0;
    for (int j = 0; j <= 157; ++j)
      for (int i = 0; i <= 157; ++i) {
        const float x = static_cast<float>(minX + unitsX * (i + 0.013) / 157.03);
        const float y = static_cast<float>(minY + unitsY * (j + 0.007) / 157.03);
        const std::optional<float> z = GroundHeight(x, y);
        missed += !z;
        if (z && i % 31 == 0 && j % 29 == 0) {
          const double mesh = MeshHeight(m, x, y).value_or(NAN);
          EXPECT_NEAR(*z, mesh, 1e-3 * (1 + std::fabs(mesh))) << x << " " << y;
        }
      }
    EXPECT_EQ(missed, 0);
    // On the faces' corners and edges too, diagonals included, where the height is the mean of the edge's ends.
    for (int32_t f = 0; f < m.CountFace; f += std::max(1, m.CountFace / 500))
      for (int a = 0; a < 3; ++a)
        for (int b = a; b < 3; ++b) {
          const CVertex3 &p = m.Vertices[m.Face[f].Index[a]], &q = m.Vertices[m.Face[f].Index[b]];
          const std::optional<float> z = GroundHeight((p.x + q.x) / 2, (p.y + q.y) / 2);
          EXPECT_NEAR(z.value_or(NAN), (p.z + q.z) / 2, 1e-3 * (1 + std::fabs(p.z))) << (p.x + q.x) / 2 << " " << (p.y + q.y) / 2;
        }

    // Settings in proportion: a crossing in one to two minutes at 60 frames a second.
    const double crossing = longer / set.moveStep / 60;
    EXPECT_TRUE(crossing >= 60 && crossing <= 120) << crossing;
    EXPECT_NEAR(set.groundClearance / longer, 0.006, 0.001);
    EXPECT_NEAR(set.cameraDistance / longer, 0.035, 0.005);
    EXPECT_EQ(set.logLevel, 1);
    EXPECT_GT(set.turnStep, 0);
    return s;
  }

  ScratchDir dir;
};

// Each kind of input, one after the other into the same scene, each replacing the terrain before it.
TEST_F(SceneTerrain, RastersOfKnownHeightsInEveryFormat) {
  // Steps of one sixteen-bit level along the rows would vanish in eight bits.
  const auto level16 = [](double column, double row) { return 20000 + 300 * column + row; };
  WriteRaster("hill.png", "PNG", 65, 49, GDT_UInt16, level16);
  // 31 x 31 quads of 32 units: close to a long edge, the program's angle test rounds to no face.
  const auto level8 = [](double column, double row) { return 4 * column + 3 * row; };
  WriteRaster("small.png", "PNG", 32, 32, GDT_Byte, level8);
  // 0.001 degrees at 60 degrees north: a degree is 55,800 m east-west and 111,412 m north-south there.
  const double geographic[6] = {10, 0.001, 0, 60.024, 0, -0.001};
  const auto sloped = [](double column, double row) { return 400 + 2 * column - 3 * row; };
  WriteRaster("geo.tif", "GTiff", 81, 49, GDT_Float32, sloped, geographic, 4326);
  // UTM metres, 30 m cells; isolated no-data cells of a plane are filled with the plane's own height.
  const double utm[6] = {500000, 30, 0, 4900000, 0, -30};
  const auto plane = [](double column, double row) { return 150 + column - 0.5 * row; };
  WriteRaster("utm.tif", "GTiff", 49, 65, GDT_Float32,
              [&](int c, int r) { return (c * 7 + r * 3) % 23 == 5 && c % 48 && r % 64 ? -9999 : plane(c, r); }, utm,
              32633, -9999);
  std::vector<uint8_t> photo(100 * 60 * 3, 90);
  ASSERT_TRUE(stbi_write_png("photo.png", 100, 60, 3, photo.data(), 300));
  // 1201 x 1201 big-endian samples of 3 arc seconds; the tile's centre lies at 44.5 degrees north.
  const auto srtm = [](double column, double row) { return 100 + column + 2 * row; };
  std::string bytes;
  for (int row = 0; row < 1201; ++row)
    for (int column = 0; column < 1201; ++column) {
      const int v = (row * 1201 + column) % 9973 == 77 && column % 1200 && row % 1200 ? -32768
                                                                                     : static_cast<int>(srtm(column, row));
      bytes += {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
    }
  WriteFile("N44E007.hgt", bytes);
  // Greys climbing from west to east in the other picture formats, a BMP with the 124-byte header image editors
  // write among them.
  std::vector<uint8_t> rgb;
  std::string pixels;  // the BMP's rows, padded to 4 bytes
  for (int row = 0; row < 20; ++row) {
    for (int column = 0; column < 30; ++column) rgb.insert(rgb.end(), 3, static_cast<uint8_t>(column * 8));
    pixels += std::string(rgb.end() - 90, rgb.end()) + std::string(2, '\0');
  }
  ASSERT_TRUE(stbi_write_tga("map.tga", 30, 20, 3, rgb.data()));
  ASSERT_TRUE(stbi_write_jpg("map.jpg", 30, 20, 3, rgb.data(), 95));
  WriteFile("map.bmp", Bmp(30, 20, pixels, 124));
  const auto grey = [](double column, double) { return column * 8 / 255 * 3; };  // the range a tenth of 30
  const double lat = 44.5 * M_PI / 180;
  const struct {
    const char* args;
    std::string name;
    Expect e;
  } cases[] = {
      {"hill.png", "hill", {65, 49, 1, 1, [&](double c, double r) { return level16(c, r) / 65535 * 6.5; }}},
      {"small.png", "small", {32, 32, 1, 1, [&](double c, double r) { return level8(c, r) / 255 * 3.2; }}},
      {"geo.tif --exaggerate 2", "geo", {81, 49, 55.800, 111.412, sloped, 2}},
      {"utm.tif --texture photo.png --name valley", "valley", {49, 65, 30, 30, plane}},
      {"N44E007.hgt --faces 200000", "N44E007",
       {1201, 1201, 111320 * std::cos(lat) / 1200, 111132.0 / 1200, srtm, 1, 0.005}},
      {"map.tga", "map", {30, 20, 1, 1, grey}},
      {"map.bmp", "map", {30, 20, 1, 1, grey}},
      {"map.jpg", "map", {30, 20, 1, 1, grey, 1, 0.05, 3}},  // within what the compression changes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Loaded s = Check(c.e, c.name, Ok(std::string("terrain scene ") + c.args));
    const RGBImage* texture = s.load.textures.at(0).image;
    if (c.name == "valley" && texture) {
      EXPECT_EQ(std::make_pair(texture->width, texture->height), std::make_pair(64, 32));
    }
    if (c.name == "N44E007" && s.terrain) {
      EXPECT_TRUE(s.terrain->CountFace <= 200000 && s.terrain->CountFace > 150000) << s.terrain->CountFace;
    }
  }
}

TEST_F(SceneTerrain, NoDataBlocksAreFilledWithinTheirNeighboursHeights) {
  const double transform[6] = {0, 10, 0, 0, 0, -10};
  WriteRaster("holes.tif", "GTiff", 33, 33, GDT_Int16,
              [](int c, int r) { return r == 0 || (c >= 10 && c < 22 && r >= 8 && r < 20) ? -1 : c < 16 ? 100 : 200; },
              transform, 32633, -1);
  Ok("terrain scene holes.tif");
  const Loaded s = LoadScene("scene");
  ASSERT_NE(s.terrain, nullptr);
  const auto [lowest, highest] = std::minmax_element(s.terrain->Vertices + 1, s.terrain->Vertices + s.terrain->CountVertices + 1,
                                                     [](const CVertex3& a, const CVertex3& b) { return a.z < b.z; });
  EXPECT_NEAR(highest->z - lowest->z, 100 * (maxX - minX) / 320, 1e-2);
}

TEST_F(SceneTerrain, ObjectsKeepTheirHeightAboveTheGround) {
  WriteFile("scene/dbIlm/scene.txt", ReadFile("scene/dbIlm/scene.txt") + "Objects/tower\ntowers\n2\n100\n50\n3\n5000\n0\n7\n");
  const double transform[6] = {0, 10, 0, 0, 0, -10};
  WriteRaster("plane.tif", "GTiff", 33, 33, GDT_Float32, [](int c, int) { return 4.0 * c; }, transform, 32633);
  Ok("terrain scene plane.tif");
  Loaded s = LoadScene("scene");
  ASSERT_EQ(ObjectsLinks.size(), 1u);
  EXPECT_NEAR(ObjectsLinks[0].Position[0].z - *GroundHeight(100, 50), 3, 1e-3);  // stood 3 above the empty scene's z = 0
  EXPECT_EQ(ObjectsLinks[0].Position[1].z, 7);                                  // off the terrain: unchanged
  // A second terrain keeps the tower at the same height above the new ground.
  WriteRaster("plane2.tif", "GTiff", 33, 33, GDT_Float32, [](int, int r) { return 6.0 * r; }, transform, 32633);
  Ok("terrain scene plane2.tif");
  s = LoadScene("scene");
  EXPECT_EQ(std::string(LocationLinks.at(0).NameModel), "Location/plane2");
  EXPECT_NEAR(ObjectsLinks.at(0).Position[0].z - *GroundHeight(100, 50), 3, 1e-3);
  // A steep hill where the chase camera starts, 35 units behind the glider: the terrain moves, the tower with it.
  std::vector<uint8_t> hill(541 * 541);
  for (int k = 0; k < 541 * 541; ++k) hill[k] = std::hypot(k % 541 - 251, k / 541 - 270) < 12 ? 255 : 0;
  ASSERT_TRUE(stbi_write_png("hill.png", 541, 541, 1, hill.data(), 541));
  const std::string out = Ok("terrain scene hill.png");
  double dx = 0, dy = 0, dz = 0;
  ASSERT_EQ(std::sscanf(out.c_str() + out.find("moved by ("), "moved by (%lf, %lf, %lf)", &dx, &dy, &dz), 3) << out;
  s = LoadScene("scene");
  EXPECT_NEAR((minX + maxX) / 2, dx, 1e-3);
  EXPECT_NEAR((minY + maxY) / 2, dy, 1e-3);
  const CVertex3 tower = ObjectsLinks.at(0).Position[0];
  EXPECT_FLOAT_EQ(tower.x, 100 + static_cast<float>(dx));
  EXPECT_FLOAT_EQ(tower.y, 50 + static_cast<float>(dy));
  EXPECT_NEAR(tower.z - *GroundHeight(tower.x, tower.y), 3, 1e-3);
  const float clearance = s.load.settings.groundClearance, behind = s.load.settings.cameraDistance;
  EXPECT_LE(*GroundHeight(0, 0), -clearance + 1e-3);
  for (int k = 0; k <= 35; ++k)  // the camera's eye, 15 units up, sees the glider over the ground
    EXPECT_LE(*GroundHeight(-behind * k / 35, 0), 15.0 * k / 35 - clearance + 1e-3) << k;
}

TEST_F(SceneTerrain, BadInputsNameTheFileAndLeaveTheSceneFlyable) {
  const double transform[6] = {0, 10, 0, 0, 0, -10};
  WriteRaster("good.tif", "GTiff", 17, 17, GDT_Float32, [](int c, int r) { return c + r; }, transform, 32633);
  Ok("terrain scene good.tif");
  WriteFile("noise.dat", std::string(3000, '\x17'));
  WriteRaster("nodata.tif", "GTiff", 8, 8, GDT_Float32, [](int, int) { return -9999; }, transform, 32633, -9999);
  WriteRaster("thin.tif", "GTiff", 1, 5, GDT_Float32, [](int, int r) { return r; }, transform, 32633);
  WriteRaster("nan.tif", "GTiff", 8, 8, GDT_Float32, [](int c, int r) { return c == 3 && r == 4 ? NAN : 1.0; },
              transform, 32633);
  WriteFile("huge.vrt", "<VRTDataset rasterXSize=\"3000000\" rasterYSize=\"3000000\">"
                        "<VRTRasterBand dataType=\"Float32\" band=\"1\"/></VRTDataset>");
  std::vector<uint8_t> grey(4 * 4, 128);
  ASSERT_TRUE(stbi_write_png("small.png", 4, 4, 1, grey.data(), 4));
  ASSERT_TRUE(stbi_write_png("dot.png", 1, 1, 1, grey.data(), 1));
  WriteFile("huge.png", ClaimingPng(ReadFile("small.png"), "\x00\x00\x23\x28"));  // 9000 x 9000, a third of a GB as floats
  WriteFile("vast.png", ClaimingPng(ReadFile("small.png"), "\x00\x01\x00\x00"));  // 65536 x 65536, past stb_image
  WriteFile("cut.png", ReadFile("huge.png").substr(0, 30));
  // A real picture cut short: its header reads, its pixels do not.
  std::vector<uint8_t> noise(64 * 64);
  for (size_t k = 0; k < noise.size(); ++k) noise[k] = static_cast<uint8_t>(k * 7919 % 251);
  ASSERT_TRUE(stbi_write_png("noise.png", 64, 64, 1, noise.data(), 64));
  WriteFile("short.png", ReadFile("noise.png").substr(0, ReadFile("noise.png").size() / 2));
  // A chunk after the header named with terminal controls, which the reader's message quotes.
  WriteFile("esc.png", ReadFile("noise.png").insert(33, std::string("\0\0\0\0\x1b\n2J\0\0\0\0", 12)));
  // Heights and cell sizes no ground has: marked no-data nowhere, so nothing may pass them on.
  const auto grid = [](const char* name, const char* cell, const char* middle) {
    WriteFile(name, std::string("ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize ") + cell + "\n1 2 3\n4 " +
                        middle + " 6\n7 8 9\n");
  };
  grid("minf.asc", "10", "-inf");
  grid("vast.asc", "10", "1e38");
  grid("tiny.asc", "1e-40", "5");
  grid("steep.asc", "1e-05", "900000");
  WriteRaster("marker.tif", "GTiff", 8, 8, GDT_Float32, [](int c, int r) { return c == 5 && r == 2 ? 3e38 : 1.0; },
              transform, 32633);
  // A raster larger than the grid is averaged as it is read; a bad height is still placed on the raster.
  WriteRaster("wide.tif", "GTiff", 3000, 2100, GDT_Float32, [](int c, int r) { return c == 2400 && r == 1500 ? NAN : 5.0; },
              transform, 32633);
  const double broken[6] = {0, 1e300, 0, 0, 0, -1e300};
  WriteRaster("broken.tif", "GTiff", 8, 8, GDT_Float32, [](int c, int) { return c; }, broken);
  const struct {
    std::string args;
    int code;
    const char* says;
  } cases[] = {
      {"terrain scene minf.asc", 1, "minf.asc: holds the height -inf at row 1, column 1, beyond the 1000000 metres"},
      {"terrain scene vast.asc", 1, "vast.asc: holds the height 1e+38 at row 1, column 1"},
      {"terrain scene marker.tif", 1, "marker.tif: holds the height 3e+38 at row 2, column 5"},
      {"terrain scene tiny.asc", 1, "tiny.asc: its cells are 1e-40 by 1e-40 metres, not between 1e-06 and 1e+07"},
      {"terrain scene broken.tif", 1, "broken.tif: its cells are 1e+300 by 1e+300 metres"},
      {"terrain scene absent.tif", 1, "absent.tif: no such file"}, {"terrain scene nodata.tif", 1, "nodata.tif: every cell is no-data"},
      {"terrain scene noise.dat", 1, "noise.dat: not a heightmap or elevation raster"},
      {"terrain scene thin.tif", 1, "thin.tif: is 1 x 5 samples; a terrain needs at least 2 x 2"},
      {"terrain scene nan.tif", 1, "nan.tif: holds a height that is not a number at row 4, column 3"},
      {"terrain scene wide.tif", 1, "wide.tif: holds a height that is not a number near row 1499, column 2400"},
      {"terrain scene huge.vrt", 1, "huge.vrt: 3000000 x 3000000 samples are more than glide-scene can hold"},
      {"terrain scene huge.png", 1, "huge.png: 9000 x 9000 pixels are more than glide-scene can hold (at most 8192 x 8192)"},
      {"terrain scene vast.png", 1, "vast.png: 65536 x 65536 pixels are more than glide-scene can hold (at most 8192 x 8192); cut"},
      {"terrain scene cut.png", 1, "cut.png: "}, {"sky scene short.png", 1, "short.png: the picture is damaged"},
      {"terrain scene esc.png", 1, "esc.png: the picture is damaged (\\x1b 2J PNG chunk not known)"},
      // Pictures for the sky and the ground's colour say what they are for.
      {"sky scene dot.png", 1, "1 x 1 pixels; a sky panorama needs at least 2 x 2"},
      {"terrain scene good.tif --texture dot.png", 1, "a terrain texture needs at least 2 x 2"},
      {"terrain scene steep.asc", 1, "beyond the 100000000 units glide can fly over; lower --exaggerate"},
      // A terrain smaller than the glider and its camera cannot be flown over.
      {"terrain scene good.tif --size 50", 2, "--size must be at least 100, not 50: the glider is 18 units across"},
      {"terrain scene good.tif --size 1e9", 2, "--size must lie between 100 and 100000, not 1e9"},
      {"terrain scene good.tif --texture absent.png", 1, "absent.png: no such file"},
      {"terrain absent-scene good.tif", 1, "glide-scene new absent-scene"}, {"new scene", 1, "--force"},  // unless asked
      {"terrain scene", 2, ""}, {"terrain scene good.tif --faces 1.5", 2, ""}, {"terrain scene good.tif --name 'a b'", 2, ""},
      {"sky", 2, ""}, {"new", 2, ""}, {"new scene extra", 2, ""},
  };
  const Tree before = Snapshot("scene");
  for (const auto& c : cases) {
    const Ran ran = RunHere(c.args);
    EXPECT_EQ(ran.code, c.code) << c.args;
    EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("()"), std::string::npos) << ran.err;
    EXPECT_EQ(Snapshot("scene"), before) << c.args;
  }
  // The real program: its exit codes and its help.
  EXPECT_EQ(Tool("terrain scene good.tif --faces many"), 2);
  EXPECT_EQ(Tool("terrain scene absent.tif"), 1);
  for (const char* command : {"new", "terrain", "sky"}) {
    EXPECT_EQ(Tool(std::string(command) + " --help"), 0);
    EXPECT_NE(ReadFile("out.txt").find(std::string("usage: glide-scene ") + command), std::string::npos);
  }
}

TEST(SceneLayout, EveryLayoutFitsTheGridAndTheFaceBudget) {
  for (int w : {2, 3, 17, 300, 1201, 2048})
    for (int h : {2, 5, 64, 999, 2048})
      for (int64_t faces : {2LL, 7LL, 1000LL, 123457LL, 500000LL, 5000000LL}) {
        const double ux = 1000.0 * std::min(1.0, (w - 1.0) / (h - 1)), uy = 1000.0 * std::min(1.0, (h - 1.0) / (w - 1));
        const TerrainLayout l = ChooseLayout(HeightGrid{w, h, 1, 1, {}}, ux, uy, faces);
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(faces));
        EXPECT_TRUE(l.Faces() <= faces && l.quadsX <= w - 1 && l.quadsY <= h - 1);
        EXPECT_TRUE(l.quadsX == l.perCellX * l.divisions && l.quadsY == l.perCellY * l.divisions);
        EXPECT_TRUE(6 * l.perCellX * l.perCellY <= 254 && l.divisions <= 253);
        // Spacings are exact multiples of a small power of two and close to the wanted size.
        const double scaled = std::ldexp(l.spacingX, 20 - std::ilogb(1000.0));
        EXPECT_EQ(scaled, std::round(scaled));
        EXPECT_NEAR(l.quadsX * l.spacingX, ux, ux * 0.01 + 0.01);
        EXPECT_NEAR(l.quadsY * l.spacingY, uy, uy * 0.01 + 0.01);
      }
  // Enough samples and budget give close to the budget.
  EXPECT_GT(ChooseLayout(HeightGrid{3601, 3601, 1, 1, {}}, 1000, 1000, 500000).Faces(), 480000);
}

TEST_F(SceneTerrain, SkyGradientAndPanorama) {
  Loaded s = LoadScene("scene");
  ASSERT_EQ(HorizonLinks.size(), 1u);
  EXPECT_EQ(std::string(HorizonLinks[0].NameModel), "Horizon/sky");
  std::vector<uint8_t> panorama;
  for (int k = 0; k < 300 * 150; ++k)  // blue sky above, brown ground below
    panorama.insert(panorama.end(), k < 300 * 75 ? std::initializer_list<uint8_t>{40, 90, 220}
                                                 : std::initializer_list<uint8_t>{200, 120, 60});
  ASSERT_TRUE(stbi_write_png("pano.png", 300, 150, 3, panorama.data(), 900));
  Ok("sky scene pano.png");
  s = LoadScene("scene");
  ASSERT_EQ(HorizonLinks.size(), 1u);
  const RGBImage* sky = s.load.textures.at(0).image;
  ASSERT_NE(sky, nullptr);
  EXPECT_EQ(std::make_pair(sky->width, sky->height), std::make_pair(256, 128));
  // Rows run from the bottom: the ground first, the sky last.
  EXPECT_GT(sky->data[0], 150);
  EXPECT_GT(sky->data[(sky->height - 1) * sky->width * 3 + 2], 150);
  // The picture's middle is ahead of the start (+X) and its left quarter on the left (+Y).
  const CModel& dome = HorizonModel.at(0);
  int ahead = 0, left = 0;
  for (int v = 1; v <= dome.CountVertices; ++v) {
    const CVertex3& p = dome.Vertices[v];
    const double u = dome.CoordText[v].x - std::floor(dome.CoordText[v].x);
    if (p.x > 1 && std::fabs(p.y) < 1e-3f) {
      ++ahead;
      EXPECT_NEAR(u, 0.5, 1e-6);
    }
    if (p.y > 1 && std::fabs(p.x) < 1e-3f) {
      ++left;
      EXPECT_NEAR(u, 0.25, 1e-6);
    }
  }
  EXPECT_TRUE(ahead > 0 && left > 0);
}

// A flight over a generated raster: after every frame the glider is one clearance above the ground of the
// written mesh, within the half step it sinks each frame.
TEST_F(SceneTerrain, FlightHoldsTheClearanceOverTheWrittenMesh) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
  const double transform[6] = {300000, 50, 0, 5000000, 0, -50};
  WriteRaster("hills.tif", "GTiff", 97, 97, GDT_Float32,
              [](int c, int r) { return 300 + 120 * std::sin(c / 9.0) * std::cos(r / 13.0) + 2 * r; }, transform,
              32633);
  Ok("terrain scene hills.tif --faces 20000");
  WriteFile("flight.keys", "1 down W\n40 down Left\n90 up Left\n200 down Right\n260 up Right\n");
  const Loaded s = LoadScene("scene");
  ASSERT_NE(s.terrain, nullptr);
  const Settings& set = s.load.settings;
  const std::string keys = fs::absolute("flight.keys").string();
  for (int frames : {1, 50, 130, 240, 330}) {
    const std::string overlay = fs::absolute("overlay" + std::to_string(frames) + ".txt").string();
    DemoProcess demo({"--batch", "-C", "scene", "--keys", keys, "--frames", std::to_string(frames), "--overlay",
                      overlay});
    ASSERT_EQ(demo.Wait(60), 0);
    float x = 0, y = 0, z = 0;
    ASSERT_EQ(std::sscanf(ReadFile(overlay).c_str(), "Glader.x= %f  Glader.y= %f  Glader.z= %f", &x, &y, &z), 3);
    EXPECT_LE(std::hypot(x, y), frames * set.moveStep + 1e-3);
    EXPECT_GT(std::hypot(x, y), frames * set.moveStep / 2);
    const std::optional<double> ground = MeshHeight(*s.terrain, x, y);
    ASSERT_TRUE(ground.has_value());
    EXPECT_NEAR(z, *ground + set.groundClearance, set.moveStep / 2 + 1e-3) << "frame " << frames;
  }
}

}  // namespace
