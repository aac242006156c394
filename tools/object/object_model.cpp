// Reading models through assimp: node transforms, the up axis, materials and their pictures, simplification.
#include "tools/object/object_model.h"

#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <meshoptimizer.h>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <algorithm>
#include <cfloat>
#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "tools/scene/cli.h"
#include "tools/scene/mesh_writer.h"
#include "tools/scene/picture.h"
#include "tools/scene/progress.h"

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

bool HasFaces(const aiScene& scene) {
  return std::any_of(scene.mMeshes, scene.mMeshes + scene.mNumMeshes, [](const aiMesh* mesh) {
    return std::any_of(mesh->mFaces, mesh->mFaces + mesh->mNumFaces,
                       [](const aiFace& f) { return f.mNumIndices >= 3; });
  });
}

ToolError NoFaces(const std::string& file) {
  return ToolError(file + ": the model holds no faces (only points, lines or nothing); export its surfaces as meshes");
}

float Unit(float c) { return std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 1.0f; }

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

// CheckPicture with a model's limit: at most kMostPictureSide a side.
void CheckModelPicture(const PictureHeader& header, const std::string& name, const std::string& fix) {
  CheckPicture(
      header, name,
      [&](PictureSize size) {
        if (size.width > kMostPictureSide || size.height > kMostPictureSide)
          throw ToolError(name + " is " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                          " pixels, larger than the " + std::to_string(kMostPictureSide) + " x " +
                          std::to_string(kMostPictureSide) + " a model's picture may be; scale it down to at most " +
                          std::to_string(kKeptPictureSide) + " a side, which is all a triangle shows");
      },
      " cannot be decoded", fix);
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
    CheckModelPicture(HeaderOf(bytes, texture.mWidth), name, fix);
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, size, &width, &height, &channels, 3);
    return Decoded(pixels, width, height, name, fix);
  }
  CheckModelPicture(PictureHeader{true, {texture.mWidth, texture.mHeight}, std::nullopt}, name, fix);
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

// The places a texture's reference may mean, in the order they are tried. glTF writes URIs, with %20 for a
// blank and maybe a file:// in front, the other formats plain paths with either slash, often as they were
// on the maker's disk: the path as written (relative ones from the model's folder), then the picture's
// name beside the model, then in a textures folder beside it.
std::vector<fs::path> PictureFiles(const std::string& reference, const std::string& model) {
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
  const fs::path folder = fs::path(model).parent_path(), name = fs::path(decoded).filename();
  return {folder / decoded, folder / name, folder / "textures" / name, folder / "Textures" / name};
}

bool Black(const Vec3& c) { return c.x < 0.5f / 255 && c.y < 0.5f / 255 && c.z < 0.5f / 255; }

std::string ColourText(const Vec3& c) {
  auto channel = [](float value) { return std::to_string(std::lround(value * 255)); };
  std::string out = "(";
  return out.append(channel(c.x)).append(", ").append(channel(c.y)).append(", ").append(channel(c.z)).append(")");
}

class ModelReader {
 public:
  ModelReader(const aiScene& scene, const std::string& file) : scene_(scene), file_(file), warnings_("object", file) {}

  // How the material shows, worked out once; the first time, a material whose colour does not show as
  // the file may have meant it is warned of.
  int LookOf(unsigned material, ImportedModel* model) {
    const auto known = looks_.find(material);
    if (known != looks_.end()) return known->second;
    const aiMaterial& m = *scene_.mMaterials[material];
    const std::string name = m.GetName().C_Str();
    Look look;
    look.picture = PictureOf(m, aiTextureType_BASE_COLOR, model);
    if (look.picture < 0) look.picture = PictureOf(m, aiTextureType_DIFFUSE, model);
    look.glowPicture = PictureOf(m, aiTextureType_EMISSIVE, model);
    aiColor3D glow(0, 0, 0);
    // An emissive picture without an emissive colour shows as it is. FBX also has an older Emissive property,
    // the emissive colour times its factor, which some writers fill alone.
    if (m.Get(AI_MATKEY_COLOR_EMISSIVE, glow) != AI_SUCCESS && look.glowPicture >= 0) glow = aiColor3D(1, 1, 1);
    if (glow.IsBlack()) m.Get("$raw.Emissive", 0, 0, glow);
    float strength = 1;
    if (m.Get(AI_MATKEY_EMISSIVE_INTENSITY, strength) != AI_SUCCESS || !std::isfinite(strength) || strength < 0)
      strength = 1;
    look.glow = {Unit(glow.r * strength), Unit(glow.g * strength), Unit(glow.b * strength)};
    int shading = aiShadingMode_Gouraud;
    look.lit = m.Get(AI_MATKEY_SHADING_MODEL, shading) != AI_SUCCESS || shading != aiShadingMode_Unlit;
    std::optional<Vec3> colour = ColourOf(m, look.picture >= 0);
    const std::string which = file_ + ": the material '" + name + "' ";
    const std::string glowing = "its emissive colour " + ColourText(look.glow) + " is what shows, unshaded";
    if (!colour && Black(look.glow))
      warnings_.Add("materials give no colour and no picture: they are shown white, shaded by the sun", name,
                    which + "gives no colour and no picture: it is shown white, shaded by the sun");
    else if (!colour)
      warnings_.Add("materials give no colour: their emissive colours show, unshaded", name,
                    which + "gives no colour: " + glowing);
    else if (Black(*colour) && !Black(look.glow))
      warnings_.Add("materials are black but emissive: their emissive colours show, unshaded", name,
                    which + "has a black colour and gives off light of its own: " + glowing);
    colours_[material] = colour.value_or(Black(look.glow) ? Vec3{1, 1, 1} : Vec3{0, 0, 0});
    model->looks.push_back(look);
    return looks_[material] = static_cast<int>(model->looks.size()) - 1;
  }

  // The colour that multiplies the material's picture, or its whole colour where it has none; after LookOf.
  Vec3 MaterialColour(unsigned material) const { return colours_.at(material); }

 private:
  // The colour that multiplies the picture, or nothing where the material names neither a colour nor a
  // picture. A base colour multiplies the picture as glTF defines; the older diffuse colour is shown only
  // without a picture.
  static std::optional<Vec3> ColourOf(const aiMaterial& m, bool pictured) {
    aiColor4D colour(1, 1, 1, 1);
    if (m.Get(AI_MATKEY_BASE_COLOR, colour) != AI_SUCCESS) {
      colour = aiColor4D(1, 1, 1, 1);
      if (!pictured && m.Get(AI_MATKEY_COLOR_DIFFUSE, colour) != AI_SUCCESS) return std::nullopt;
    }
    return Vec3{Unit(colour.r), Unit(colour.g), Unit(colour.b)};
  }

  // The picture of the material's first texture of this type, loaded once: -1 when it has none, or when its
  // file is missing.
  int PictureOf(const aiMaterial& m, aiTextureType type, ImportedModel* model) {
    aiString path;
    if (m.GetTexture(type, 0, &path) != AI_SUCCESS) return -1;
    const std::string name = path.C_Str();
    const std::string label = "'" + name + "' of material '" + m.GetName().C_Str() + "'";
    if (const aiTexture* embedded = scene_.GetEmbeddedTexture(path.C_Str()))
      return Remember("embedded " + name, model, [&] { return EmbeddedPicture(*embedded, file_, label); });
    if (!name.empty() && name[0] == '*')
      throw ToolError(file_ + ": the texture " + label +
                      " refers to a picture the file does not hold; export it again with its textures");
    const std::vector<fs::path> places = PictureFiles(name, file_);
    std::error_code error;
    const auto found = std::find_if(places.begin(), places.end(),
                                    [&error](const fs::path& place) { return fs::is_regular_file(place, error); });
    if (found == places.end()) {
      warnings_.Add("texture pictures are missing, so their materials' colours are used instead: put them beside "
                    "the model, or in its textures folder",
                    places[1].filename().string(),
                    file_ + ": the texture picture " + label + " is missing; the material's colour is used instead (put " +
                        places[1].filename().string() + " beside the model, or in its textures folder)");
      return -1;
    }
    const std::string picture = found->lexically_normal().string();
    return Remember(picture, model, [&] {
      const std::string what = picture + ": the texture picture of " + file_;
      const std::string fix = "save it again as PNG or JPEG";
      CheckModelPicture(HeaderOf(picture), what, fix);
      int width = 0, height = 0, channels = 0;
      stbi_uc* pixels = stbi_load(picture.c_str(), &width, &height, &channels, 3);
      return Decoded(pixels, width, height, what, fix);
    });
  }

  template <typename Load>
  int Remember(const std::string& key, ImportedModel* model, Load load) {
    const auto known = pictures_.find(key);
    if (known != pictures_.end()) return known->second;
    model->pictures.push_back(load());
    return pictures_[key] = static_cast<int>(model->pictures.size()) - 1;
  }

  const aiScene& scene_;
  const std::string& file_;
  GatheredWarnings warnings_;
  std::map<unsigned, int> looks_;
  std::map<unsigned, Vec3> colours_;
  std::map<std::string, int> pictures_;
};

// A mesh's vertices with corners that agree in place, texture coordinates and colour made one: the places of
// the joined vertices, and for each the mesh's vertex it stands for. Faceted is set where joined corners had
// different normals, as an STL file's faces have.
struct Joined {
  std::vector<aiVector3D> places;
  std::vector<unsigned> vertices;
  bool faceted = false;
};

// Joins the corners of the triangles, renumbering them, so that simplification can join the faces around
// them. Done here rather than by assimp, whose joining takes many times longer on large models.
Joined JoinCorners(const aiMesh& mesh, std::vector<unsigned>* indices) {
  std::vector<meshopt_Stream> streams{{mesh.mVertices, sizeof(aiVector3D), sizeof(aiVector3D)}};
  if (mesh.HasTextureCoords(0)) streams.push_back({mesh.mTextureCoords[0], sizeof(aiVector3D), sizeof(aiVector3D)});
  if (mesh.HasVertexColors(0)) streams.push_back({mesh.mColors[0], sizeof(aiColor4D), sizeof(aiColor4D)});
  std::vector<unsigned> remap(mesh.mNumVertices);
  const size_t unique = meshopt_generateVertexRemapMulti(remap.data(), indices->data(), indices->size(),
                                                         mesh.mNumVertices, streams.data(), streams.size());
  Joined joined{std::vector<aiVector3D>(unique), std::vector<unsigned>(unique)};
  std::vector<bool> seen(unique);
  for (unsigned& index : *indices) {
    const unsigned vertex = index;
    index = remap[vertex];
    if (seen[index] && mesh.HasNormals())
      joined.faceted = joined.faceted || mesh.mNormals[vertex] != mesh.mNormals[joined.vertices[index]];
    seen[index] = true;
    joined.places[index] = mesh.mVertices[vertex];
    joined.vertices[index] = vertex;
  }
  return joined;
}

// A mesh's triangles as vertex numbers; after simplification, faceted where its normals no longer fit the
// faces, which are then shaded flat.
struct MeshTriangles {
  std::vector<unsigned> indices;
  bool faceted = false;
};

// Each mesh's triangles, simplified towards targetFaces in proportion to its share.
std::vector<MeshTriangles> Triangles(const aiScene& scene, size_t targetFaces, size_t* total,
                                     const std::string& file) {
  std::vector<MeshTriangles> lists(scene.mNumMeshes);
  *total = 0;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene.mMeshes[m];
    std::vector<unsigned>& indices = lists[m].indices;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f)
      if (mesh.mFaces[f].mNumIndices == 3)
        indices.insert(indices.end(), mesh.mFaces[f].mIndices, mesh.mFaces[f].mIndices + 3);
    *total += indices.size() / 3;
  }
  if (targetFaces == 0 || *total <= targetFaces) return lists;
  const Step simplifying(OnFile("simplifying", file), false);
  size_t kept = 0;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    std::vector<unsigned>& indices = lists[m].indices;
    if (indices.empty()) continue;
    const size_t share = std::max<size_t>(1, indices.size() / 3 * targetFaces / *total);
    const Joined joined = JoinCorners(*scene.mMeshes[m], &indices);
    lists[m].faceted = joined.faceted;
    std::vector<unsigned> simpler(indices.size());
    // The error bound is relative to the mesh's size: generous, so that the asked count is what stops it.
    simpler.resize(meshopt_simplify(simpler.data(), indices.data(), indices.size(), &joined.places[0].x,
                                    joined.places.size(), sizeof(aiVector3D), share * 3, 0.25f));
    for (unsigned& index : simpler) index = joined.vertices[index];
    indices = std::move(simpler);
    kept += indices.size() / 3;
  }
  if (kept > targetFaces)
    Warn("object", file + ": simplification stopped at " + std::to_string(kept) + " faces, short of " +
                   std::to_string(targetFaces) + ", to keep the model's shape");
  return lists;
}

// assimp's reports of its reading and preparing, to the innermost step.
class Reports : public Assimp::ProgressHandler {
 public:
  bool Update(float fraction) override {
    ReportProgress(fraction);
    return true;
  }
};

}  // namespace

ImportedModel ReadModel(const std::string& file, UpAxis up, size_t targetFaces) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) throw ToolError(file + ": no such model file; check the path");
  const std::string formats = "; export it as glTF 2.0, FBX, OBJ, COLLADA, PLY, STL or 3DS";
  std::optional<Step> reading(std::in_place, OnFile("reading", file), true);
  Assimp::Importer importer;
  importer.SetProgressHandler(new Reports);  // the importer's to delete
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  // Normals made for a file without them stay sharp across edges steeper than this, as a box's are.
  importer.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, 60);
  const aiScene* scene = importer.ReadFile(file, 0);
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
    throw ToolError(file + ": not a model that can be read" +
                    ReaderReason(scene ? "the file is incomplete" : importer.GetErrorString()) + formats);
  // Given a file of an extension it does not know, assimp tries every reader on the bytes, and some take
  // any text for a model of nothing.
  const std::string extension = Lower(fs::path(file).extension().string());
  if (!HasFaces(*scene) && !importer.IsExtensionSupported(extension))
    throw ToolError(file + ": not a model (" + (extension.empty() ? std::string("no extension") : extension) +
                    " is not a model format that can be read)" + formats);
  if (!HasFaces(*scene)) throw NoFaces(file);
  // The corners stay apart (see JoinCorners); smooth normals are made from the places of the corners.
  scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_GenSmoothNormals |
                                       aiProcess_PreTransformVertices | aiProcess_SortByPType | aiProcess_GenUVCoords |
                                       aiProcess_ValidateDataStructure);
  if (!scene)
    throw ToolError(file + ": the model cannot be prepared" + ReaderReason(importer.GetErrorString()) +
                    "; export it again");
  reading.reset();
  const Step converting(OnFile("converting", file), false);
  return ModelFromScene(*scene, file, up, targetFaces);
}

ImportedModel ModelFromScene(const aiScene& scene, const std::string& file, UpAxis up, size_t targetFaces) {
  if (!HasFaces(scene)) throw NoFaces(file);
  const Basis basis = up == UpAxis::kZ ? kZUp : up == UpAxis::kY ? kYUp : FileBasis(scene, file);
  // A mirroring basis turns the faces inside out unless their corners swap.
  const bool mirrored = basis.Determinant() < 0;

  ImportedModel model;
  const std::vector<MeshTriangles> lists = Triangles(scene, targetFaces, &model.sourceFaces, file);
  size_t total = 0;
  for (const MeshTriangles& list : lists) total += list.indices.size() / 3;
  model.triangles.reserve(total);
  ModelReader reader(scene, file);
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene.mMeshes[m];
    const std::vector<unsigned>& indices = lists[m].indices;
    if (indices.empty()) continue;
    if (mesh.mMaterialIndex >= scene.mNumMaterials)
      throw ToolError(file + ": a mesh names a material the file does not hold; export the model again");
    const int look = reader.LookOf(mesh.mMaterialIndex, &model);
    const bool pictured = model.looks[static_cast<size_t>(look)].picture >= 0;
    const Vec3 colour = reader.MaterialColour(mesh.mMaterialIndex);
    const bool coloured = mesh.HasVertexColors(0), mapped = mesh.HasTextureCoords(0);
    const bool smooth = mesh.HasNormals() && !lists[m].faceted;
    for (size_t i = 0; i < indices.size(); i += 3) {
      Triangle triangle{};
      triangle.look = look;
      for (int k = 0; k < 3; ++k) {
        const unsigned n = indices[i + (mirrored && k ? 3 - k : k)];
        Corner& c = triangle.corners[k];
        c.position = basis(mesh.mVertices[n]);
        if (!std::isfinite(c.position.x) || !std::isfinite(c.position.y) || !std::isfinite(c.position.z))
          throw ToolError(file +
                          ": a vertex has a coordinate that is not a number; repair the model in a modelling program");
        c.normal = smooth ? basis(mesh.mNormals[n]) : Vec3{0, 0, 0};
        c.u = mapped ? mesh.mTextureCoords[0][n].x : 0;
        c.v = mapped ? mesh.mTextureCoords[0][n].y : 0;
        c.colour = colour;
        if (coloured) {
          const aiColor4D& vc = mesh.mColors[0][n];
          // Vertex colours stand in for an untextured material's colour and tint a picture.
          const Vec3 own{Unit(vc.r), Unit(vc.g), Unit(vc.b)};
          c.colour = pictured ? Vec3{colour.x * own.x, colour.y * own.y, colour.z * own.z} : own;
        }
      }
      model.triangles.push_back(triangle);
    }
  }
  // Degenerate faces may still be all that is left once assimp has prepared the meshes.
  if (model.triangles.empty()) throw NoFaces(file);
  return model;
}

void PutOnOrigin(ImportedModel* model, double size, const std::string& file) {
  Vec3 low{FLT_MAX, FLT_MAX, FLT_MAX}, high{-FLT_MAX, -FLT_MAX, -FLT_MAX};
  for (const Triangle& t : model->triangles)
    for (const Corner& c : t.corners) {
      low = {std::min(low.x, c.position.x), std::min(low.y, c.position.y), std::min(low.z, c.position.z)};
      high = {std::max(high.x, c.position.x), std::max(high.y, c.position.y), std::max(high.z, c.position.z)};
    }
  const double longest = std::max({double{high.x} - low.x, double{high.y} - low.y, double{high.z} - low.z});
  if (!(longest > 0))
    throw ToolError(file + ": all the model's points coincide, so it has no size; check that it holds a real surface");
  if (longest > 1e6)
    throw ToolError(file + ": the model is " + FloatText(static_cast<float>(longest)) +
                    " units across, more than a scene can hold; export it in metres");
  const double scale = size > 0 ? size / longest : 1;
  if (size <= 0 && (longest < 0.5 || longest > 500))
    Warn("object", file + " is " + FloatText(static_cast<float>(longest)) +
                   " units across against an 18-unit glider; give it a size with --size UNITS");
  const double cx = (double{low.x} + high.x) / 2, cy = (double{low.y} + high.y) / 2;
  for (Triangle& t : model->triangles)
    for (Corner& c : t.corners)
      c.position = {static_cast<float>((c.position.x - cx) * scale), static_cast<float>((c.position.y - cy) * scale),
                    static_cast<float>((c.position.z - double{low.z}) * scale)};
}
