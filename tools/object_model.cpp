// Reading models through assimp: node transforms, the up axis, materials and their pictures, simplification.
#include "tools/object_model.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <meshoptimizer.h>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "tools/cli.h"
#include "tools/picture.h"

namespace fs = std::filesystem;

namespace {

// Rows of the matrix that takes the file's coordinates into the scene's Z-up frame.
struct Basis {
  Vec3 rows[3];
  Vec3 operator()(const aiVector3D& p) const {
    auto row = [&p](const Vec3& r) { return r.x * p.x + r.y * p.y + r.z * p.z; };
    return {row(rows[0]), row(rows[1]), row(rows[2])};
  }
  float Determinant() const {
    const Vec3 &a = rows[0], &b = rows[1], &c = rows[2];
    return a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
  }
};

const Basis kZUp{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
// Y up, Z towards the viewer: a quarter turn about X brings Y to Z and Z to -Y.
const Basis kYUp{{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}};

ToolError NoFaces(const std::string& file) {
  return ToolError(file + ": the model holds no faces (only points, lines or nothing); export its surfaces as meshes");
}

float Unit(float c) { return std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 1.0f; }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// FBX records its axes as an axis number and a sign each for up, front and the remaining (coord) axis; the
// other formats assimp reads arrive Y-up (COLLADA and 3DS are turned by assimp itself).
Basis FileBasis(const aiScene& scene, const std::string& file) {
  const aiMetadata* meta = scene.mMetaData;
  int32_t up = 1, upSign = 1, front = 2, frontSign = 1, coord = 0, coordSign = 1;
  if (Lower(fs::path(file).extension().string()) != ".fbx" || !meta || !meta->Get("UpAxis", up)) return kYUp;
  meta->Get("UpAxisSign", upSign);
  meta->Get("FrontAxis", front);
  meta->Get("FrontAxisSign", frontSign);
  meta->Get("CoordAxis", coord);
  meta->Get("CoordAxisSign", coordSign);
  if (up < 0 || up > 2 || front < 0 || front > 2 || coord < 0 || coord > 2 || up == front || up == coord ||
      front == coord)
    throw ToolError(file + ": the file records impossible axes (up " + std::to_string(up) + ", front " +
                    std::to_string(front) + ", side " + std::to_string(coord) +
                    "); export it again, or give its up axis with --up y or --up z");
  auto axis = [](int32_t index, int32_t sign) {
    const float s = sign < 0 ? -1.0f : 1.0f;
    return Vec3{index == 0 ? s : 0, index == 1 ? s : 0, index == 2 ? s : 0};
  };
  // The file's side axis becomes X, its up axis Z, and its front faces -Y, as a Y-up file's +Z does.
  return Basis{{axis(coord, coordSign), axis(front, -frontSign), axis(up, upSign)}};
}

// Pictures larger than this are refused before they are decoded; the decoded ones are scaled down at once to
// what a triangle's patch (at most 256 texels a side) can use, so that many materials stay cheap to hold.
constexpr int kMostPictureSide = 8192;
constexpr int kKeptPictureSide = 1024;

// Refuses, before anything is decoded, a picture too large to hold, by the size its header claims or else
// the one stb_image read (read true), one shorter than its header's claim, and then one stb_image cannot read.
void CheckPicture(bool read, long long width, long long height, std::optional<PictureClaim> claim,
                  const std::string& name, const std::string& fix) {
  if (claim) {
    width = claim->size.width;
    height = claim->size.height;
  }
  if ((read || claim) && (width > kMostPictureSide || height > kMostPictureSide))
    throw ToolError(name + " is " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels, larger than the " + std::to_string(kMostPictureSide) + " x " +
                    std::to_string(kMostPictureSide) + " a model's picture may be; scale it down to at most " +
                    std::to_string(kKeptPictureSide) + " a side, which is all a triangle shows");
  if (claim) CheckClaim(*claim, name);
  if (!read) throw ToolError(name + " cannot be decoded" + StbReason() + "; " + fix);
}

// Packed R, G, B rows, scaled down to at most kKeptPictureSide a side.
Picture Kept(const uint8_t* rgb, int width, int height) {
  Picture kept{std::min(width, kKeptPictureSide), std::min(height, kKeptPictureSide), {}};
  if (kept.width == width && kept.height == height) {
    kept.rgb.assign(rgb, rgb + static_cast<size_t>(width) * height * 3);
    return kept;
  }
  kept.rgb.resize(static_cast<size_t>(kept.width) * kept.height * 3);
  stbir_resize_uint8(rgb, width, height, 0, kept.rgb.data(), kept.width, kept.height, 0, 3);
  return kept;
}

Picture Decoded(stbi_uc* pixels, int width, int height, const std::string& name, const std::string& fix) {
  if (!pixels) throw ToolError(name + " cannot be decoded" + StbReason() + "; " + fix);
  const std::unique_ptr<stbi_uc, void (*)(void*)> owned(pixels, stbi_image_free);
  return Kept(pixels, width, height);
}

// The picture of a texture stored in the file: a whole image file, or raw B, G, R, A texels.
Picture EmbeddedPicture(const aiTexture& texture, const std::string& file, const std::string& label) {
  const std::string name = file + ": its embedded picture " + label;
  const std::string fix = "embed it as PNG or JPEG";
  if (texture.mHeight == 0) {
    const auto* bytes = reinterpret_cast<const stbi_uc*>(texture.pcData);
    const int size = static_cast<int>(texture.mWidth);
    int width = 0, height = 0, channels = 0;
    const bool read = stbi_info_from_memory(bytes, size, &width, &height, &channels) != 0;
    CheckPicture(read, width, height, ClaimOf(bytes, texture.mWidth, texture.mWidth), name, fix);
    return Decoded(stbi_load_from_memory(bytes, size, &width, &height, &channels, 3), width, height, name, fix);
  }
  CheckPicture(true, texture.mWidth, texture.mHeight, std::nullopt, name, fix);
  const size_t count = static_cast<size_t>(texture.mWidth) * texture.mHeight;
  std::vector<uint8_t> rgb;
  rgb.reserve(count * 3);
  for (size_t i = 0; i < count; ++i)
    rgb.insert(rgb.end(), {texture.pcData[i].r, texture.pcData[i].g, texture.pcData[i].b});
  return Kept(rgb.data(), static_cast<int>(texture.mWidth), static_cast<int>(texture.mHeight));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Where a texture's reference points: glTF writes URIs, with %20 for a blank and maybe a file:// in front,
// the other formats plain paths with either slash; relative ones lie beside the model.
fs::path PictureFile(const std::string& reference, const std::string& model) {
  std::string path = reference.rfind("file://", 0) == 0 ? reference.substr(7) : reference;
  std::string decoded;
  for (size_t i = 0; i < path.size(); ++i) {
    const int high = path[i] == '%' && i + 2 < path.size() ? HexDigit(path[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(path[i + 2]) : -1;
    if (low < 0) {
      decoded += path[i] == '\\' ? '/' : path[i];
      continue;
    }
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return fs::path(model).parent_path() / decoded;
}

class ModelReader {
 public:
  ModelReader(const aiScene& scene, const std::string& file) : scene_(scene), file_(file) {}

  // The picture a material shows, loaded once: -1 when it has none, or when its file is missing.
  int PictureOf(unsigned material, ImportedModel* model) {
    const auto known = pictures_.find(material);
    if (known != pictures_.end()) return known->second;
    int& index = pictures_[material] = -1;
    const aiMaterial& m = *scene_.mMaterials[material];
    aiString path;
    if (m.GetTexture(aiTextureType_BASE_COLOR, 0, &path) != AI_SUCCESS &&
        m.GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS)
      return index;
    const std::string name = path.C_Str();
    const std::string label = "'" + name + "' of material '" + m.GetName().C_Str() + "'";
    if (const aiTexture* embedded = scene_.GetEmbeddedTexture(path.C_Str())) {
      model->pictures.push_back(EmbeddedPicture(*embedded, file_, label));
    } else if (!name.empty() && name[0] == '*') {
      throw ToolError(file_ + ": the texture " + label +
                      " refers to a picture the file does not hold; export it again with its textures");
    } else {
      const fs::path picturePath = PictureFile(name, file_);
      std::error_code error;
      if (!fs::is_regular_file(picturePath, error)) {
        std::fprintf(stderr,
                     "glide-scene object: warning: %s: the texture picture %s is missing; the material's colour is "
                     "used instead (put the picture at %s)\n",
                     file_.c_str(), label.c_str(), picturePath.string().c_str());
        return index;
      }
      const std::string picture = picturePath.string();
      const std::string what = picture + ": the texture picture of " + file_;
      const std::string fix = "save it again as PNG or JPEG";
      int width = 0, height = 0, channels = 0;
      const bool read = stbi_info(picture.c_str(), &width, &height, &channels) != 0;
      CheckPicture(read, width, height, ClaimOf(picture), what, fix);
      model->pictures.push_back(
          Decoded(stbi_load(picture.c_str(), &width, &height, &channels, 3), width, height, what, fix));
    }
    return index = static_cast<int>(model->pictures.size()) - 1;
  }

  // The colour that multiplies the material's picture, or its whole colour where it has none. A base
  // colour multiplies the picture as glTF defines; the older diffuse colour is shown only without a picture.
  Vec3 ColourOf(unsigned material, bool pictured) const {
    const aiMaterial& m = *scene_.mMaterials[material];
    aiColor4D colour(1, 1, 1, 1);
    if (m.Get(AI_MATKEY_BASE_COLOR, colour) != AI_SUCCESS) {
      colour = aiColor4D(1, 1, 1, 1);
      if (!pictured) m.Get(AI_MATKEY_COLOR_DIFFUSE, colour);
    }
    return {Unit(colour.r), Unit(colour.g), Unit(colour.b)};
  }

 private:
  const aiScene& scene_;
  const std::string& file_;
  std::map<unsigned, int> pictures_;
};

// Each mesh's triangles as vertex numbers, simplified towards targetFaces in proportion to its share.
std::vector<std::vector<unsigned>> Triangles(const aiScene& scene, size_t targetFaces, size_t* total,
                                             const std::string& file) {
  std::vector<std::vector<unsigned>> lists(scene.mNumMeshes);
  *total = 0;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene.mMeshes[m];
    for (unsigned f = 0; f < mesh.mNumFaces; ++f)
      if (mesh.mFaces[f].mNumIndices == 3)
        lists[m].insert(lists[m].end(), mesh.mFaces[f].mIndices, mesh.mFaces[f].mIndices + 3);
    *total += lists[m].size() / 3;
  }
  if (targetFaces == 0 || *total <= targetFaces) return lists;
  size_t kept = 0;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    std::vector<unsigned>& indices = lists[m];
    if (indices.empty()) continue;
    const size_t share = std::max<size_t>(1, indices.size() / 3 * targetFaces / *total);
    std::vector<unsigned> simpler(indices.size());
    // The error bound is relative to the mesh's size: generous, so that the asked count is what stops it.
    simpler.resize(meshopt_simplify(simpler.data(), indices.data(), indices.size(), &scene.mMeshes[m]->mVertices[0].x,
                                    scene.mMeshes[m]->mNumVertices, sizeof(aiVector3D), share * 3, 0.25f));
    indices = std::move(simpler);
    kept += indices.size() / 3;
  }
  if (kept > targetFaces)
    std::fprintf(stderr,
                 "glide-scene object: warning: %s: simplification stopped at %zu faces, short of %zu, to keep the "
                 "model's shape\n",
                 file.c_str(), kept, targetFaces);
  return lists;
}

}  // namespace

ImportedModel ReadModel(const std::string& file, UpAxis up, size_t targetFaces) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) throw ToolError(file + ": no such model file; check the path");
  Assimp::Importer importer;
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  // Normals made for a file without them stay sharp across edges steeper than this, as a box's are.
  importer.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, 60);
  const aiScene* scene = importer.ReadFile(file, 0);
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
    throw ToolError(file + ": not a model that can be read (" +
                    (scene ? std::string("the file is incomplete") : std::string(importer.GetErrorString())) +
                    "); export it as glTF 2.0, FBX, OBJ, COLLADA, PLY, STL or 3DS");
  if (!std::any_of(scene->mMeshes, scene->mMeshes + scene->mNumMeshes, [](const aiMesh* mesh) {
        return std::any_of(mesh->mFaces, mesh->mFaces + mesh->mNumFaces,
                           [](const aiFace& f) { return f.mNumIndices >= 3; });
      }))
    throw NoFaces(file);
  scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                       aiProcess_GenSmoothNormals | aiProcess_PreTransformVertices |
                                       aiProcess_SortByPType | aiProcess_GenUVCoords | aiProcess_ValidateDataStructure);
  if (!scene)
    throw ToolError(file + ": the model cannot be prepared (" + importer.GetErrorString() + "); export it again");
  const Basis basis = up == UpAxis::kZ ? kZUp : up == UpAxis::kY ? kYUp : FileBasis(*scene, file);
  // A mirroring basis turns the faces inside out unless their corners swap.
  const bool mirrored = basis.Determinant() < 0;

  ImportedModel model;
  const std::vector<std::vector<unsigned>> lists = Triangles(*scene, targetFaces, &model.sourceFaces, file);
  ModelReader reader(*scene, file);
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh& mesh = *scene->mMeshes[m];
    if (lists[m].empty()) continue;
    if (mesh.mMaterialIndex >= scene->mNumMaterials)
      throw ToolError(file + ": a mesh names a material the file does not hold; export the model again");
    const int picture = reader.PictureOf(mesh.mMaterialIndex, &model);
    const Vec3 colour = reader.ColourOf(mesh.mMaterialIndex, picture >= 0);
    const bool coloured = mesh.HasVertexColors(0), mapped = mesh.HasTextureCoords(0);
    for (size_t i = 0; i < lists[m].size(); i += 3) {
      Triangle triangle{};
      triangle.picture = picture;
      for (int k = 0; k < 3; ++k) {
        const unsigned n = lists[m][i + (mirrored && k ? 3 - k : k)];
        Corner& c = triangle.corners[k];
        c.position = basis(mesh.mVertices[n]);
        if (!std::isfinite(c.position.x) || !std::isfinite(c.position.y) || !std::isfinite(c.position.z))
          throw ToolError(file +
                          ": a vertex has a coordinate that is not a number; repair the model in a modelling program");
        c.normal = mesh.HasNormals() ? basis(mesh.mNormals[n]) : Vec3{0, 0, 0};
        c.u = mapped ? mesh.mTextureCoords[0][n].x : 0;
        c.v = mapped ? mesh.mTextureCoords[0][n].y : 0;
        c.colour = colour;
        if (coloured) {
          const aiColor4D& vc = mesh.mColors[0][n];
          // Vertex colours stand in for an untextured material's colour and tint a picture.
          const Vec3 own{Unit(vc.r), Unit(vc.g), Unit(vc.b)};
          c.colour = picture >= 0 ? Vec3{colour.x * own.x, colour.y * own.y, colour.z * own.z} : own;
        }
      }
      model.triangles.push_back(triangle);
    }
  }
  // Degenerate faces may still be all that is left once assimp has prepared the meshes.
  if (model.triangles.empty()) throw NoFaces(file);
  return model;
}
