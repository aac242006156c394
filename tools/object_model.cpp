// Reading models through assimp: node transforms, the up axis, materials and their pictures, simplification.
#include "tools/object_model.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <meshoptimizer.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "tools/cli.h"

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

Picture Decode(const stbi_uc* pixels, int width, int height) {
  Picture picture{width, height, {}};
  picture.rgb.assign(pixels, pixels + static_cast<size_t>(width) * height * 3);
  stbi_image_free(const_cast<stbi_uc*>(pixels));
  return picture;
}

// The picture of a texture stored in the file: a whole image file, or raw B, G, R, A texels.
Picture EmbeddedPicture(const aiTexture& texture, const std::string& file, const std::string& name) {
  if (texture.mHeight == 0) {
    int width = 0, height = 0, channels = 0;
    const stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(texture.pcData),
                                                  static_cast<int>(texture.mWidth), &width, &height, &channels, 3);
    if (!pixels)
      throw ToolError(file + ": its embedded picture " + name + " cannot be decoded (" + stbi_failure_reason() +
                      "); embed it as PNG or JPEG");
    return Decode(pixels, width, height);
  }
  Picture picture{static_cast<int>(texture.mWidth), static_cast<int>(texture.mHeight), {}};
  const size_t count = static_cast<size_t>(texture.mWidth) * texture.mHeight;
  picture.rgb.reserve(count * 3);
  for (size_t i = 0; i < count; ++i)
    picture.rgb.insert(picture.rgb.end(), {texture.pcData[i].r, texture.pcData[i].g, texture.pcData[i].b});
  return picture;
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
      std::string relative = name;
      std::replace(relative.begin(), relative.end(), '\\', '/');
      const fs::path picturePath = fs::path(file_).parent_path() / relative;
      std::error_code error;
      if (!fs::is_regular_file(picturePath, error)) {
        std::fprintf(stderr,
                     "glide-scene object: warning: %s: the texture picture %s is missing; the material's colour is "
                     "used instead (put the picture at %s)\n",
                     file_.c_str(), label.c_str(), picturePath.string().c_str());
        return index;
      }
      int width = 0, height = 0, channels = 0;
      const stbi_uc* pixels = stbi_load(picturePath.string().c_str(), &width, &height, &channels, 3);
      if (!pixels)
        throw ToolError(picturePath.string() + ": the texture picture of " + file_ + " cannot be decoded (" +
                        stbi_failure_reason() + "); save it again as PNG or JPEG");
      model->pictures.push_back(Decode(pixels, width, height));
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
