// glide-scene object on models the tests make with assimp's exporter, glTF text and stb_image_write.
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <array>
#include <assimp/Exporter.hpp>
#include <cmath>
#include <filesystem>
#include <functional>

#include "image/image.h"
#include "platform/platform.h"
#include "scene_tool.h"
#include "support.h"
#include "tools/scene/mesh_writer.h"
#include "tools/scene/scene_files.h"

namespace fs = std::filesystem;

namespace {

// "object" on the scene in the current folder, which must take the model.
Ran Placed(const std::string& args) {
  const Ran ran = RunHere("object . " + args);
  EXPECT_EQ(ran.code, 0) << args << ": " << ran.err;
  return ran;
}

// One mesh of a test model, with its own material colour and emissive colour; normals, vertex colours,
// texture coordinates and a texture picture where given.
struct Part {
  std::vector<aiVector3D> positions;
  std::vector<unsigned> triangles;
  aiColor3D colour{1, 1, 1};
  std::vector<aiVector3D> normals;
  std::vector<aiColor4D> colours;
  aiColor3D glow{0, 0, 0};
  std::vector<aiVector3D> uvs;
  std::string picture;
};

template <typename T>
T* Copy(const std::vector<T>& values) {
  T* out = new T[values.size()];
  std::copy(values.begin(), values.end(), out);
  return out;
}

void Export(const std::vector<Part>& parts, const char* format, const std::string& file) {
  aiScene scene;
  const unsigned count = static_cast<unsigned>(parts.size());
  scene.mNumMeshes = scene.mNumMaterials = count;
  scene.mMeshes = new aiMesh*[count];
  scene.mMaterials = new aiMaterial*[count];
  scene.mRootNode = new aiNode("root");
  scene.mRootNode->mNumMeshes = count;
  scene.mRootNode->mMeshes = new unsigned[count];
  for (unsigned i = 0; i < count; ++i) {
    const Part& p = parts[i];
    aiMesh* mesh = scene.mMeshes[i] = new aiMesh;
    mesh->mMaterialIndex = scene.mRootNode->mMeshes[i] = i;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = static_cast<unsigned>(p.positions.size());
    mesh->mVertices = Copy(p.positions);
    if (!p.normals.empty()) mesh->mNormals = Copy(p.normals);
    if (!p.colours.empty()) mesh->mColors[0] = Copy(p.colours);
    if (!p.uvs.empty()) {
      mesh->mTextureCoords[0] = Copy(p.uvs);
      mesh->mNumUVComponents[0] = 2;
    }
    mesh->mNumFaces = static_cast<unsigned>(p.triangles.size() / 3);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      mesh->mFaces[f].mNumIndices = 3;
      mesh->mFaces[f].mIndices = Copy(std::vector<unsigned>(&p.triangles[3 * f], &p.triangles[3 * f] + 3));
    }
    aiMaterial* material = scene.mMaterials[i] = new aiMaterial;
    const aiString name("colour" + std::to_string(i));
    material->AddProperty(&name, AI_MATKEY_NAME);
    material->AddProperty(&p.colour, 1, AI_MATKEY_COLOR_DIFFUSE);
    if (!p.glow.IsBlack()) material->AddProperty(&p.glow, 1, AI_MATKEY_COLOR_EMISSIVE);
    const aiString picture(p.picture);
    if (!p.picture.empty()) material->AddProperty(&picture, AI_MATKEY_TEXTURE_DIFFUSE(0));
  }
  Assimp::Exporter exporter;
  ASSERT_EQ(exporter.Export(&scene, format, file), AI_SUCCESS) << exporter.GetErrorString();
}

// An axis-aligned box from `low` to `high`, faces outward.
Part Box(aiVector3D low, aiVector3D high, aiColor3D colour = {1, 1, 1}) {
  Part p;
  for (int k = 0; k < 8; ++k)
    p.positions.emplace_back(k & 1 ? high.x : low.x, k & 2 ? high.y : low.y, k & 4 ? high.z : low.z);
  p.triangles = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                 2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
  p.colour = colour;
  return p;
}

// A unit sphere about the origin with smooth normals, its texture coordinates wrapped once around it.
Part Sphere(int rings, int segments) {
  Part p;
  for (int r = 0; r <= rings; ++r)
    for (int s = 0; s <= segments; ++s) {
      const float polar = static_cast<float>(M_PI) * r / rings, around = 2 * static_cast<float>(M_PI) * s / segments;
      p.positions.emplace_back(std::sin(polar) * std::cos(around), std::cos(polar), std::sin(polar) * std::sin(around));
      p.normals.push_back(p.positions.back());
      p.uvs.emplace_back(static_cast<float>(s) / segments, 1 - static_cast<float>(r) / rings, 0);
    }
  for (unsigned r = 0; r < static_cast<unsigned>(rings); ++r)
    for (unsigned s = 0; s < static_cast<unsigned>(segments); ++s) {
      const unsigned a = r * (segments + 1) + s, b = a + segments + 1;
      if (r > 0) p.triangles.insert(p.triangles.end(), {a, a + 1, b});
      if (r + 1 < static_cast<unsigned>(rings)) p.triangles.insert(p.triangles.end(), {a + 1, b + 1, b});
    }
  return p;
}

using Colour = std::array<float, 3>;

// An entry's mesh and texture as the program loads them.
struct Baked {
  std::vector<CVertex3> vertices;
  std::vector<CVertex2> coords;
  std::vector<CFace> faces;
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;

  Colour At(const CFace& f, float a, float b, float c) const {
    const CVertex2 &p = coords[f.Index[0]], &q = coords[f.Index[1]], &r = coords[f.Index[2]];
    const int x = std::clamp(static_cast<int>((a * p.x + b * q.x + c * r.x) * width), 0, width - 1);
    const int y = std::clamp(static_cast<int>((a * p.y + b * q.y + c * r.y) * height), 0, height - 1);
    const uint8_t* texel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {float(texel[0]), float(texel[1]), float(texel[2])};
  }
  float Extent(int axis, bool high) const {
    const auto [low, top] = std::minmax_element(vertices.begin() + 1, vertices.end(), [axis](const CVertex3& p, const CVertex3& q) {
      return (&p.x)[axis] < (&q.x)[axis];
    });
    return (&(high ? top : low)->x)[axis];
  }
  float Size(int axis) const { return Extent(axis, true) - Extent(axis, false); }
};

Baked ReadBaked(const std::string& name) {
  ResetScene();
  const std::string text = ReadFile("Objects/" + name + ".obj");
  ReadModelText(text.data(), text.size());
  Baked baked;
  baked.vertices.assign(Model.Vertices, Model.Vertices + Model.CountVertices + 1);
  baked.coords.assign(Model.CoordText, Model.CoordText + Model.CountCoordText + 1);
  baked.faces.assign(Model.Face, Model.Face + Model.CountFace);
  bBatchMode = 1;
  if (const RGBImage* image = LoadDIBImage(("Objects/" + name + ".bmp").c_str())) {
    baked.width = image->width;
    baked.height = image->height;
    baked.rgb.assign(image->data, image->data + static_cast<size_t>(image->width) * image->height * 3);
  }
  return baked;
}

float Brightness(const Colour& c) { return (c[0] + c[1] + c[2]) / 3; }

// True when the colour has the hue of `want`: its full channels strong, its empty ones weak.
bool Hue(const Colour& c, const Colour& want) {
  const float top = std::max({c[0], c[1], c[2]});
  for (int k = 0; k < 3; ++k)
    if (want[k] > 0 ? c[k] < 0.7f * top : c[k] > 0.25f * top) return false;
  return top > 40;
}

class SceneObject : public testing::Test {
 protected:
  // A scene whose terrain is a sloping square of 10 x 10 cells of 10 units from (0, 0) to (100, 100).
  void SetUp() override {
    MeshBuilder ground;
    for (int j = 0; j <= 10; ++j)
      for (int i = 0; i <= 10; ++i) ground.AddVertex(10.0f * i, 10.0f * j, 2.0f * i + j + 3, i / 10.0f, j / 10.0f);
    for (int j = 0; j < 10; ++j)
      for (int i = 0; i < 10; ++i) ground.AddQuad(j * 11 + i + 1, j * 11 + i + 2, j * 11 + i + 13, j * 11 + i + 12);
    WriteFile("Location/ground.obj", MeshText(ground));
    WriteFile("Location/ground.bmp", TextureBytes(2, 2, std::vector<uint8_t>(12, 90)));
    // One grid cell per terrain cell, so that ground following finds a face under every point.
    Settings settings;
    settings.gridDivisions = 10;
    WriteFile(SettingsFile, SettingsText(settings));
    LinkDoc link;
    link.sections[kLocation].push_back(LinkEntry{"Location/ground", "ground", {{0, 0, 0}}});
    WriteFile(Settings{}.linkFile, LinkText(link));
  }
  // The link file and every file of Objects/: what a failed command must leave as it was.
  static Tree State() {
    Tree state = fs::exists("Objects") ? Snapshot("Objects") : Tree{};
    state["link file"] = ReadFile(Settings{}.linkFile);
    return state;
  }
  ScratchDir dir;
};

// Models stand upright, bottom centre on their place, at their own size or the one asked for.
TEST_F(SceneObject, ModelsStandUprightInEveryFormat) {
  const Part tall = Box({0, 0, 0}, {1, 4, 1});
  const char* const formats[][2] = {{"obj", "obj"}, {"gltf2", "gltf"}, {"glb2", "glb"}, {"collada", "dae"},
                                    {"ply", "ply"}, {"stl", "stl"},    {"fbxa", "fbx"},  {"3ds", "3ds"}};
  for (const auto& [format, extension] : formats) Export({tall}, format, std::string("tall.") + extension);
  // An up axis the file records is honoured: the same box declared Z-up lies along Y, as it does in 3DS,
  // whose files are Z-up.
  auto replace = [](std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  WriteFile("lying.dae", replace(ReadFile("tall.dae"), "Y_UP", "Z_UP"));
  std::string fbx = ReadFile("tall.fbx");
  const std::string axis = "\", \"int\", \"Integer\", \"\", ";
  fbx = replace(fbx, "\"UpAxis" + axis + "1", "\"UpAxis" + axis + "2");
  fbx = replace(fbx, "\"FrontAxis" + axis + "2", "\"FrontAxis" + axis + "1");
  fbx = replace(fbx, "\"FrontAxisSign" + axis + "1", "\"FrontAxisSign" + axis + "-1");
  WriteFile("lying.fbx", fbx);
  // --size sets the longest side; a model of odd size is warned about.
  Export({Box({0, 0, 0}, {0.05f, 0.15f, 0.1f})}, "obj", "small.obj");
  const struct {
    const char* args;
    std::array<float, 3> size;
    const char* warns;
  } cases[] = {
      {"tall.obj", {1, 1, 4}, nullptr},        {"tall.gltf", {1, 1, 4}, nullptr},      {"tall.glb", {1, 1, 4}, nullptr},
      {"tall.dae", {1, 1, 4}, nullptr},        {"tall.ply", {1, 1, 4}, nullptr},       {"tall.stl", {1, 1, 4}, nullptr},
      {"tall.fbx", {1, 1, 4}, nullptr},        {"lying.dae", {1, 4, 1}, nullptr},      {"lying.fbx", {1, 4, 1}, nullptr},
      {"tall.3ds", {1, 4, 1}, nullptr},        {"tall.obj --up z", {1, 4, 1}, nullptr},
      {"small.obj --size 18", {6, 12, 18}, nullptr}, {"small.obj", {0.05f, 0.1f, 0.15f}, "--size"}};
  for (const auto& c : cases) {
    const std::string err = Placed(std::string(c.args) + " --name m --at 20 20 7").err;
    const Baked b = ReadBaked("m");
    for (int k : {0, 1, 2}) EXPECT_NEAR(b.Size(k), c.size[k], 1e-4 * c.size[k] + 1e-6) << c.args << " axis " << k;
    EXPECT_NEAR(b.Extent(2, false), 0, 1e-6) << c.args;
    EXPECT_NEAR(b.Extent(0, false) + b.Extent(0, true), 0, 1e-5) << c.args << ": centred on its placement point";
    EXPECT_EQ(err.find("warning") != std::string::npos, c.warns != nullptr) << c.args << ": " << err;
    EXPECT_NE(err.find(c.warns ? c.warns : ""), std::string::npos) << c.args << ": " << err;
  }
}

TEST_F(SceneObject, StandsOnTheTerrainWhereNoHeightIsGiven) {
  Export({Box({-3, 5, 2}, {1, 9, 4})}, "gltf2", "hut.gltf");
  EXPECT_NE(Placed("hut.gltf --at 33.3 41.7 --at 70 20 5 --at 50 50").out.find("3 places"), std::string::npos);
  const LinkDoc link = ReadLinkDoc(Settings{}.linkFile);
  ASSERT_EQ(link.sections[kObjects].size(), 1u);
  const LinkEntry& hut = link.sections[kObjects][0];
  EXPECT_EQ(hut.name, "Objects/hut");
  ASSERT_EQ(hut.positions.size(), 3u);
  const float bottom = ReadBaked("hut").Extent(2, false);
  EXPECT_NEAR(hut.positions[0].z + bottom, 0.2 * 33.3 + 0.1 * 41.7 + 3, 0.01);
  EXPECT_NEAR(hut.positions[1].z + bottom, 5, 1e-6);
  EXPECT_NEAR(hut.positions[2].z + bottom, 18, 0.01);  // on a corner of the grid
  EXPECT_EQ(hut.positions[2].x, 50);
  // Again without places: the entry is replaced, not added, and keeps its places.
  const std::string linkText = ReadFile(Settings{}.linkFile);
  Placed("hut.gltf");
  EXPECT_EQ(ReadFile(Settings{}.linkFile), linkText);
}

TEST_F(SceneObject, EachMaterialAndVertexColourShowsAtItsOwnFaces) {
  // The left box is black and shows its emissive colour, as some exporters write a colour.
  Part left = Box({-3, 0, 0}, {-1, 1, 1}, {0, 0, 0}), right = Box({1, 0, 0}, {3, 1, 1}, {0, 0, 1});
  left.glow = {1, 0, 0};
  Part tinted = Box({0, 2, 0}, {2, 3, 1});
  tinted.colours.assign(8, aiColor4D(0, 1, 0, 1));
  for (const char* format : {"obj", "gltf2", "ply", "collada", "fbxa"}) {
    const std::string file = std::string("two.") + format;
    Export(std::string(format) == "ply" ? std::vector<Part>{tinted} : std::vector<Part>{left, right}, format, file);
    Placed(file + " --name two --at 20 20 0");
    const Baked b = ReadBaked("two");
    ASSERT_EQ(b.faces.size(), std::string(format) == "ply" ? 12u : 24u) << format;
    for (const CFace& f : b.faces) {
      const float x = b.vertices[f.Index[0]].x + b.vertices[f.Index[1]].x + b.vertices[f.Index[2]].x;
      const Colour want = std::string(format) == "ply" ? Colour{0, 1, 0} : x < 0 ? Colour{1, 0, 0} : Colour{0, 0, 1};
      for (float a : {0.1f, 0.33f, 0.8f}) {
        const Colour c = b.At(f, a, (1 - a) / 2, (1 - a) / 2);
        EXPECT_TRUE(Hue(c, want)) << format << " x " << x << ": " << c[0] << " " << c[1] << " " << c[2];
      }
    }
  }
}

std::string Base64(const std::string& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = std::min<size_t>(3, bytes.size() - i);
    uint32_t n = 0;
    for (size_t k = 0; k < 3; ++k) n = n << 8 | (k < left ? static_cast<uint8_t>(bytes[i + k]) : 0u);
    for (size_t k = 0; k < 4; ++k) out += k <= left ? digits[(n >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// A square 4 units across in glTF's XY plane, its picture repeated twice each way: u = x/2, v = 2 - y/2.
// The material is glTF text; by default it shows the picture.
void WriteTexturedSquare(
    const std::string& picture,
    const std::string& material = R"({"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}})") {
  const float values[] = {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0, 0, 2, 2, 2, 2, 0, 0, 0};
  const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
  std::string buffer(reinterpret_cast<const char*>(values), sizeof values);
  buffer.append(reinterpret_cast<const char*>(indices), sizeof indices);
  WriteFile("square.gltf",
            R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "indices": 2, "material": 0}]}],
 "materials": [)" + material + R"(], "extensionsUsed": ["KHR_materials_unlit"],
 "textures": [{"source": 0}], "images": [{"uri": ")" +
                picture + R"("}],
 "buffers": [{"byteLength": 92, "uri": "data:application/octet-stream;base64,)" +
                Base64(buffer) + R"("}],
 "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48}, {"buffer": 0, "byteOffset": 48, "byteLength": 32},
                 {"buffer": 0, "byteOffset": 80, "byteLength": 12}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3", "min": [0, 0, 0], "max": [4, 4, 0]},
               {"bufferView": 1, "componentType": 5126, "count": 4, "type": "VEC2"},
               {"bufferView": 2, "componentType": 5123, "count": 6, "type": "SCALAR"}]})");
}


TEST_F(SceneObject, TexelsOfATexturedGltfLandWhereItsUvsPutThem) {
  // Top row red, green; bottom row blue, yellow; glTF's (0, 0) is the picture's top left.
  const uint8_t checker[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
  ASSERT_NE(stbi_write_png("checker.png", 2, 2, 3, checker, 6), 0);
  fs::copy("checker.png", "my checker.png");
  // The same four colours in quarters of a picture larger than a triangle's patch can use.
  const int wide = 2048, high = 1536;
  std::vector<uint8_t> large;
  for (int y = 0; y < high; ++y)
    for (int x = 0; x < wide; ++x) large.insert(large.end(), checker + (y * 2 / high * 2 + x * 2 / wide) * 3,
                                                checker + (y * 2 / high * 2 + x * 2 / wide) * 3 + 3);
  ASSERT_NE(stbi_write_png("large.png", wide, high, 3, large.data(), wide * 3), 0);
  // Where a file names a path from its maker's disk, the picture beside the model or in its textures folder.
  fs::create_directory("Textures");
  fs::copy("checker.png", "Textures/boxed.png");
  std::string uri = "file://";
  for (char c : fs::absolute("my checker.png").string()) uri += c == ' ' ? std::string("%20") : std::string(1, c);
  // The picture beside the file, by a name with a blank as glTF writes it, by a file URI, large, embedded,
  // and found by its name alone.
  const std::string embedded = "data:image/png;base64," + Base64(ReadFile("checker.png"));
  for (const std::string& picture : {std::string("checker.png"), std::string("my%20checker.png"), uri,
                                     std::string("large.png"), embedded, std::string("../../art/checker.png"),
                                     std::string("maps/boxed.png")}) {
    WriteTexturedSquare(picture);
    const std::string err = Placed("square.gltf --at 20 20 0").err;
    const Baked b = ReadBaked("square");
    ASSERT_EQ(b.faces.size(), 2u);
    int checked = 0;
    for (float u = 0.25f; u < 2; u += 0.5f)
      for (float v = 0.25f; v < 2; v += 0.5f) {
        // After the turn to Z up and the move to the bottom centre, glTF (x, y) lies at X = x - 2, Z = y.
        const float px = 2 * u - 2, pz = 4 - 2 * v;
        const int column = std::fmod(u, 1.0f) < 0.5f ? 0 : 1, row = std::fmod(v, 1.0f) < 0.5f ? 0 : 1;
        const uint8_t* want = &checker[(row * 2 + column) * 3];
        for (const CFace& f : b.faces) {
          const CVertex3 &p = b.vertices[f.Index[0]], &q = b.vertices[f.Index[1]], &r = b.vertices[f.Index[2]];
          const float d = (q.x - p.x) * (r.z - p.z) - (r.x - p.x) * (q.z - p.z);
          const float wb = ((px - p.x) * (r.z - p.z) - (r.x - p.x) * (pz - p.z)) / d;
          const float wc = ((q.x - p.x) * (pz - p.z) - (px - p.x) * (q.z - p.z)) / d;
          if (wb < -1e-4f || wc < -1e-4f || wb + wc > 1 + 1e-4f) continue;
          const Colour c = b.At(f, 1 - wb - wc, wb, wc);
          EXPECT_TRUE(Hue(c, {want[0] / 255.0f, want[1] / 255.0f, want[2] / 255.0f}))
              << picture.substr(0, 20) << " u " << u << " v " << v << ": " << c[0] << " " << c[1] << " " << c[2];
          ++checked;
          break;
        }
      }
    EXPECT_EQ(checked, 16);
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;
  }
  WriteTexturedSquare("checker.png");
  // A picture that is missing is a warning and the material's colour stands in.
  fs::remove("checker.png");
  const std::string warned = Placed("square.gltf --at 20 20 0").err;
  EXPECT_NE(warned.find("warning: " + fs::absolute("square.gltf").string()), std::string::npos) << warned;
  EXPECT_NE(warned.find("checker.png"), std::string::npos);
}


// Materials show as their files mean them: the sun shades the colour but not the emissive colour added to it,
// nor an unlit material.
TEST_F(SceneObject, EmissiveAndUnlitColoursShowUnshaded) {
  const uint8_t white[3] = {255, 255, 255};
  ASSERT_NE(stbi_write_png("white.png", 1, 1, 3, white, 3), 0);
  const float sun = 255 * (0.35f + 0.65f * 0.485071f);  // the square faces south, half towards the sun
  const struct {
    const char* material;
    Colour want;
    const char* warning;
  } cases[] = {
      {R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 0, 1]}, "emissiveFactor": [1, 0.5, 0],
           "extensions": {"KHR_materials_unlit": {}}})",
       {255, 128, 0}, "emissive colour (255, 128, 0)"},
      {R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 1, 1]}, "extensions": {"KHR_materials_unlit": {}}})",
       {0, 0, 255}, nullptr},
      {R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 1, 1]}, "emissiveFactor": [0.5, 0, 0]})",
       {128, 0, sun}, nullptr},
      {R"({"emissiveFactor": [0, 1, 0], "emissiveTexture": {"index": 0}})", {sun, 255, sun}, nullptr},
  };
  for (const auto& c : cases) {
    WriteTexturedSquare("white.png", c.material);
    const std::string err = Placed("square.gltf --at 20 20 0").err;
    const Baked b = ReadBaked("square");
    ASSERT_FALSE(b.rgb.empty());
    for (size_t i = 0; i < b.rgb.size(); i += 3)
      for (int k = 0; k < 3; ++k) ASSERT_NEAR(b.rgb[i + k], std::min(255.0f, c.want[k]), 2) << c.material << " " << k;
    EXPECT_EQ(err.find("warning") != std::string::npos, c.warning != nullptr) << err;
    if (c.warning) {
      EXPECT_NE(err.find(c.warning), std::string::npos) << err;
    }
  }
  // Many materials warned of alike make one line that counts them and names the first few.
  std::string obj = "mtllib lamps.mtl\n", mtl;
  for (int k = 0; k < 14; ++k) {
    const std::string n = std::to_string(k);
    mtl += "newmtl lamp" + n + "\nKd 0 0 0\nKe 1 0.5 0\n";
    obj += "v " + n + " 0 0\nv " + n + ".5 0 0\nv " + n + " 1 0\nusemtl lamp" + n + "\nf -3 -2 -1\n";
  }
  WriteFile("lamps.obj", obj);
  WriteFile("lamps.mtl", mtl);
  const std::string err = Placed("lamps.obj --at 20 20 0").err;
  EXPECT_EQ(err.find("warning"), err.rfind("warning")) << err;
  EXPECT_NE(err.find("warning: " + fs::absolute("lamps.obj").string() +
                     ": 14 materials are black but emissive: their emissive colours show, unshaded (lamp"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find(", \u2026)\n"), std::string::npos) << err;
}

// A plain ball gets a patch per triangle; a pictured one of about 4,000 triangles keeps its own UVs and a
// texture the size of its picture.
TEST_F(SceneObject, TheSunSideIsBrighterAndShadingIsSmooth) {
  const std::vector<uint8_t> white(512 * 512 * 3, 255);
  ASSERT_NE(stbi_write_png("white.png", 512, 512, 3, white.data(), 512 * 3), 0);
  Part pictured = Sphere(32, 64);
  pictured.picture = "white.png";
  for (const Part& ball : {Sphere(12, 24), pictured}) {
    Export({ball}, "gltf2", "ball.gltf");
    Placed("ball.gltf --size 10 --at 20 20 0");
    const Baked b = ReadBaked("ball");
    EXPECT_LE(b.width * b.height, 512 * 512) << ball.picture;
    double top = 0, bottom = 0;
    int tops = 0, bottoms = 0;
    for (const CFace& f : b.faces) {
      const float z = (b.vertices[f.Index[0]].z + b.vertices[f.Index[1]].z + b.vertices[f.Index[2]].z) / 3;
      const float light = Brightness(b.At(f, 1 / 3.0f, 1 / 3.0f, 1 / 3.0f));
      if (z > 8.5f) top += light, ++tops;
      if (z < 1.5f) bottom += light, ++bottoms;
    }
    ASSERT_GT(tops, 0);
    ASSERT_GT(bottoms, 0);
    EXPECT_GT(top / tops, bottom / bottoms + 60);
    EXPECT_GT(bottom / bottoms, 40) << "the far side is darker, not black";
    // Across every edge the two faces meet in nearly the same shade, as the sphere's normals are smooth.
    float worst = 0;
    auto same = [](const CVertex3& p, const CVertex3& q) {
      return std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z) < 1e-4f;
    };
    for (size_t f = 0; f < b.faces.size(); ++f)
      for (size_t g = f + 1; g < b.faces.size(); ++g)
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j) {
            const CFace &F = b.faces[f], &G = b.faces[g];
            const int fi = (i + 1) % 3, gj = (j + 2) % 3;
            if (!same(b.vertices[F.Index[i]], b.vertices[G.Index[j]]) ||
                !same(b.vertices[F.Index[fi]], b.vertices[G.Index[gj]]))
              continue;
            float wf[3] = {0.02f, 0.02f, 0.02f}, wg[3] = {0.02f, 0.02f, 0.02f};
            wf[i] = wf[fi] = wg[j] = wg[gj] = 0.49f;
            worst = std::max(
                worst, std::fabs(Brightness(b.At(F, wf[0], wf[1], wf[2])) - Brightness(b.At(G, wg[0], wg[1], wg[2]))));
          }
    EXPECT_LT(worst, 10) << ball.picture;
  }
}

// Also where every face has corners and a normal of its own, as in STL.
TEST_F(SceneObject, FacesSimplifiesTheModel) {
  for (const char* format : {"ply", "stl"}) {
    Export({Sphere(40, 80)}, format, std::string("fine.") + format);
    Placed(std::string("fine.") + format + " --faces 500 --at 20 20 0");
    const Baked b = ReadBaked("fine");
    EXPECT_LE(b.faces.size(), 500u) << format;
    EXPECT_GE(b.faces.size(), 250u) << format;
    EXPECT_NEAR(b.Size(2), 2, 0.1) << format;
  }
}

TEST_F(SceneObject, BadInputIsRefusedAndLeavesTheSceneAsItWas) {
  Export({Box({0, 0, 0}, {1, 1, 1})}, "obj", "cube.obj");
  Placed("cube.obj --at 20 20");
  WriteFile("notes.glb", "these are not the droids");
  WriteFile("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
  WriteFile("nan.obj", "v 0 0 0\nv nan 0 0\nv 0 1 0\nf 1 2 3\n");
  WriteFile("huge.obj", "v 0 0 0\nv 1e9 0 0\nv 0 1 0\nf 1 2 3\n");
  fs::copy("cube.obj", "Objects/mine.obj");
  WriteFile("dot.obj", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n");
  WriteFile("README.md", "# Changes\n\nv 1.1 the tower model is new\n");
  WriteFile("long.stl", "solid a\nfacet normal 0 0 1\nouter loop\nvertex 1 1 ?" + std::string(100000, 'y') + "\n");
  // Pictures too large to hold are refused from their headers, before anything is decoded.
  const uint8_t grey[4 * 4 * 3] = {};
  ASSERT_NE(stbi_write_png("small.png", 4, 4, 3, grey, 12), 0);
  WriteFile("wide.png", ClaimingPng(ReadFile("small.png"), "\x00\x00\x23\x28"));  // 9000 x 9000
  WriteFile("vast.png", ClaimingPng(ReadFile("small.png"), "\x00\x01\x00\x00"));  // 65536 x 65536
  WriteFile("broken.png", "not a picture");
  const auto places = [](int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += " --at " + std::to_string(5 * k) + " 10";
    return text;
  };
  const Tree before = State();
  const struct {
    std::string args;
    int code;
    std::string message, also = "";
    std::string picture = "";  // of the textured square's material
  } cases[] = {
      {"absent.obj --at 20 20", 1, "absent.obj: no such model file"},
      {"notes.glb --at 20 20", 1, "notes.glb: not a model that can be read"},
      {"points.obj --at 20 20", 1, "points.obj: the model holds no faces"},
      {"README.md --at 20 20", 1, "README.md: not a model"},
      {"long.stl --at 20 20", 1, "yyyy...); export it as"},  // the reader quotes the whole line
      {"nan.obj --at 20 20", 1, "nan.obj: a vertex has a coordinate that is not a number"},
      {"huge.obj --at 20 20", 1, "huge.obj: the model is 1000000000 units across"},
      {"dot.obj --at 20 20", 1, "dot.obj: all the model's points coincide"},
      {"Objects/mine.obj --at 20 20", 1, "mine.obj: this is the file the entry Objects/mine would be written to"},
      {"cube.obj --at 150 50", 1, "no terrain under (150, 50)"},  // off the terrain: no ground to stand on
      {"cube.obj --name cube --up x", 2, "--up must be y or z"}, {"cube.obj --at 20", 2, "--at needs 2 values"},
      {"cube.obj --name 'a b' --at 20 20", 2, "--name 'a b' must be"}, {"cube.obj --name fresh", 2, "needs at least one --at"},
      {"cube.obj --size 0 --at 20 20", 2, "--size"}, {"cube.obj --size nan --at 20 20", 2, "--size"},
      {"cube.obj" + places(11), 2, "second entry"},
      {"square.gltf --at 20 20 0", 1, "wide.png: the texture picture of", "9000 x 9000 pixels, larger than the 8192 x 8192",
       "wide.png"},
      {"square.gltf --at 20 20 0", 1, "vast.png: the texture picture of", "larger than the 8192 x 8192", "vast.png"},
      {"square.gltf --at 20 20 0", 1, "its embedded picture", "larger than the 8192 x 8192",
       "data:image/png;base64," + Base64(ReadFile("wide.png"))},
      {"square.gltf --at 20 20 0", 1, "broken.png: the texture picture of", "", "broken.png"},
  };
  for (const auto& c : cases) {
    if (!c.picture.empty()) WriteTexturedSquare(c.picture);
    const Ran ran = RunHere("object . " + c.args);
    EXPECT_EQ(ran.code, c.code) << c.args << ": " << ran.err;
    for (const std::string& piece : {c.message, c.also}) EXPECT_NE(ran.err.find(piece), std::string::npos) << c.args << ": " << ran.err;
    EXPECT_EQ(State(), before) << c.args;
  }
  Placed("cube.obj" + places(10));
  EXPECT_EQ(ReadLinkDoc(Settings{}.linkFile).sections[kObjects][0].positions.size(), 10u);
  fs::remove(SettingsFile);
  const Ran unmade = RunHere("object . cube.obj --at 20 20");
  EXPECT_EQ(unmade.code, 1);
  EXPECT_NE(unmade.err.find("glide-scene new ."), std::string::npos) << unmade.err;
}

// On a terminal the steps show on one line redrawn in place, a step whose reader reports with how far it has
// come, cut to the terminal's width (80 where it reports none; a wide character takes two columns), and
// cleared before a warning; in a pipe, or run in the background of a shell, nothing of it shows.
TEST_F(SceneObject, ProgressShowsOnATerminalOnly) {
  const std::string name = std::string(100, 'n') + ".obj";
  std::string wide = "nnn";
  for (int i = 0; i < 60; ++i) wide += "\u5c71";
  wide += ".obj";
  for (const std::string& file : {name, wide})
    Export({Box({0, 0, 0}, {0.05f, 0.15f, 0.1f})}, "obj", file);  // warned of as small
  const auto columnsOf = [](const std::string& line) {
    size_t n = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
    for (size_t at = 0; (at = line.find("\u5c71", at)) != std::string::npos; at += 3) ++n;
    return n;
  };
  const auto command = [](const std::string& file) {
    return "LC_ALL=C.UTF-8 " + std::string(GLIDE_SCENE_PATH) + " object . " + file + " --name nnn --at 20 20 7";
  };
  for (const auto& [columns, file] : {std::pair{0, name}, std::pair{40, name}, std::pair{40, wide}}) {
    const std::string shown =
        RunCapture("script -qec 'stty cols " + std::to_string(columns) + "; " + command(file) + "' /dev/null");
    std::vector<std::string> lines;
    for (size_t at = 0; (at = shown.find('\r', at)) != std::string::npos;) {
      const size_t end = shown.find_first_of("\r\n\x1b", ++at);
      if (end != std::string::npos && shown.compare(end, 3, "\x1b[K") == 0) lines.push_back(shown.substr(at, end - at));
    }
    ASSERT_FALSE(lines.empty()) << shown;
    bool counted = false, converted = false, timed = false;
    for (const std::string& line : lines) {
      EXPECT_LE(columnsOf(line), static_cast<size_t>((columns ? columns : 80) - 1)) << line;
      counted = counted || (line.rfind("reading nnn", 0) == 0 && line.find("\u2026: 0%, ") != std::string::npos);
      converted = converted || line.rfind("converting nnn", 0) == 0;
      timed = timed || (line.rfind("baking nnn", 0) == 0 && line.find('%') == std::string::npos);
    }
    EXPECT_TRUE(counted && converted && timed) << shown;
    EXPECT_NE(shown.find("\r\x1b[Kglide-scene object: warning: "), std::string::npos) << shown;
    EXPECT_NE(shown.find("wrote Objects/nnn"), std::string::npos) << shown;
  }
  // With job control the shell keeps the terminal's foreground and the command runs in a group of its own.
  const std::string behind = RunCapture("script -qec \"bash -c 'set -m; " + command(name) + " & wait'\" /dev/null");
  EXPECT_EQ(behind.find("\x1b[K"), std::string::npos) << behind;
  EXPECT_NE(behind.find("wrote Objects/nnn"), std::string::npos) << behind;
  EXPECT_EQ(Tool("object . " + name + " --at 20 20 7"), 0);
  EXPECT_EQ(Err().find_first_of("\r\x1b"), std::string::npos) << Err();
  EXPECT_NE(Err().find("warning"), std::string::npos);
}

}  // namespace
