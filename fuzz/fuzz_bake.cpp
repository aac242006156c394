// libFuzzer target: a scene as assimp hands it over (meshes, materials, embedded pictures, FBX axes) made from
// arbitrary bytes, through the model's checks, the bake and the mesh and texture files. What is refused must
// be a ToolError; what is written must be a power-of-two texture and faces inside the mesh.
#include <assimp/scene.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/object/object_bake.h"
#include "tools/object/object_model.h"
#include "tools/scene/cli.h"
#include "tools/scene/scene_files.h"

namespace {

// The input read from the front; past its end every byte is 0.
struct Input {
  const uint8_t* data;
  size_t size;

  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  unsigned Below(unsigned n) { return Byte() % n; }
  // Mostly numbers a model holds, sometimes any float at all.
  float Number() {
    const uint8_t kind = Byte();
    if (kind < 240) return static_cast<float>(kind - 120) / 16 + static_cast<float>(Byte()) / 4096;
    uint8_t raw[4] = {Byte(), Byte(), Byte(), Byte()};
    float value;
    std::memcpy(&value, raw, sizeof value);
    return value;
  }
  aiVector3D Vector() { return {Number(), Number(), Number()}; }
  aiColor4D Colour() { return {Number(), Number(), Number(), 1}; }
};

template <typename T, typename Make>
T* Array(unsigned count, Make make) {
  T* values = new T[count];
  for (unsigned i = 0; i < count; ++i) values[i] = make();
  return values;
}

void AddTexture(aiScene* scene, Input* in) {
  aiTexture* texture = scene->mTextures[scene->mNumTextures++] = new aiTexture;
  if (in->Below(4) == 0) {  // a picture file's bytes
    texture->mWidth = in->Below(64);
    texture->mHeight = 0;
    texture->pcData = reinterpret_cast<aiTexel*>(Array<uint8_t>(texture->mWidth, [&] { return in->Byte(); }));
    return;
  }
  texture->mWidth = 1 + in->Below(8);
  texture->mHeight = 1 + in->Below(8);
  texture->pcData = Array<aiTexel>(texture->mWidth * texture->mHeight, [&] {
    aiTexel t;
    t.b = in->Byte(), t.g = in->Byte(), t.r = in->Byte(), t.a = 255;
    return t;
  });
}

aiMaterial* MakeMaterial(Input* in) {
  auto* material = new aiMaterial;
  const uint8_t has = in->Byte();
  const aiString name("material");
  material->AddProperty(&name, AI_MATKEY_NAME);
  const aiColor4D base = in->Colour(), diffuse = in->Colour(), glow = in->Colour();
  if (has & 1) material->AddProperty(&base, 1, AI_MATKEY_BASE_COLOR);
  if (has & 2) material->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
  if (has & 4) material->AddProperty(&glow, 1, AI_MATKEY_COLOR_EMISSIVE);
  const int unlit = aiShadingMode_Unlit;
  if (has & 8) material->AddProperty(&unlit, 1, AI_MATKEY_SHADING_MODEL);
  // Embedded pictures by number, some beyond those the scene holds, and a picture file that is missing.
  const aiString picture(in->Below(4) == 3 ? std::string("no-such-picture.png") : "*" + std::to_string(in->Below(3)));
  const aiTextureType type = has & 64 ? aiTextureType_BASE_COLOR : aiTextureType_DIFFUSE;
  if (has & 16) material->AddProperty(&picture, AI_MATKEY_TEXTURE(type, 0));
  if (has & 32) material->AddProperty(&picture, AI_MATKEY_TEXTURE_EMISSIVE(0));
  return material;
}

aiMesh* MakeMesh(Input* in, unsigned materials) {
  auto* mesh = new aiMesh;
  const uint8_t has = in->Byte();
  mesh->mMaterialIndex = in->Below(materials + 1);
  mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  const unsigned vertices = mesh->mNumVertices = 1 + in->Below(48);
  mesh->mVertices = Array<aiVector3D>(vertices, [&] { return in->Vector(); });
  if (has & 1) mesh->mNormals = Array<aiVector3D>(vertices, [&] { return in->Vector(); });
  if (has & 2) {
    mesh->mTextureCoords[0] = Array<aiVector3D>(vertices, [&] { return aiVector3D(in->Number(), in->Number(), 0); });
    mesh->mNumUVComponents[0] = 2;
  }
  if (has & 4) mesh->mColors[0] = Array<aiColor4D>(vertices, [&] { return in->Colour(); });
  mesh->mNumFaces = 1 + in->Below(64);
  mesh->mFaces = Array<aiFace>(mesh->mNumFaces, [&] {
    aiFace face;
    face.mNumIndices = in->Below(8) == 0 ? 1 + in->Below(2) : 3;
    face.mIndices = Array<unsigned>(face.mNumIndices, [&] { return in->Below(vertices); });
    return face;
  });
  return mesh;
}

// An FBX file's record of its axes, in or out of range.
aiMetadata* MakeAxes(Input* in) {
  aiMetadata* meta = aiMetadata::Alloc(6);
  const char* keys[] = {"UpAxis", "UpAxisSign", "FrontAxis", "FrontAxisSign", "CoordAxis", "CoordAxisSign"};
  for (unsigned i = 0; i < 6; ++i) meta->Set(i, keys[i], static_cast<int32_t>(in->Below(5)) - 1);
  return meta;
}

bool PowerOfTwo(int side) { return side > 0 && side <= 4096 && (side & (side - 1)) == 0; }

void CheckBaked(const BakedModel& baked) {
  if (!PowerOfTwo(baked.width) || !PowerOfTwo(baked.height) ||
      baked.rgb.size() != static_cast<size_t>(baked.width) * baked.height * 3 ||
      baked.mesh.coords.size() != baked.mesh.vertices.size() || baked.mesh.faces.empty())
    std::abort();
  for (const CVertex2& t : baked.mesh.coords)
    if (!std::isfinite(t.x) || !std::isfinite(t.y)) std::abort();
  for (const CFace& f : baked.mesh.faces)
    for (int32_t index : f.Index)
      if (index < 1 || static_cast<size_t>(index) > baked.mesh.vertices.size()) std::abort();
  if (MeshText(baked.mesh).empty() || TextureBytes(baked.width, baked.height, baked.rgb).size() < baked.rgb.size())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  aiScene scene;
  scene.mRootNode = new aiNode("root");
  scene.mTextures = new aiTexture*[2];
  for (unsigned i = in.Below(3); i > 0; --i) AddTexture(&scene, &in);
  scene.mNumMaterials = 1 + in.Below(3);
  scene.mMaterials = Array<aiMaterial*>(scene.mNumMaterials, [&] { return MakeMaterial(&in); });
  scene.mNumMeshes = 1 + in.Below(3);
  scene.mMeshes = Array<aiMesh*>(scene.mNumMeshes, [&] { return MakeMesh(&in, scene.mNumMaterials); });
  const uint8_t how = in.Byte();
  const bool fbx = how & 1;
  if (fbx) scene.mMetaData = MakeAxes(&in);
  const UpAxis up = how & 2 ? UpAxis::kFromFile : how & 4 ? UpAxis::kY : UpAxis::kZ;
  const size_t faces = how & 8 ? in.Below(64) : 0;
  const std::string file = fbx ? "fuzz.fbx" : "fuzz.gltf";
  try {
    ImportedModel model = ModelFromScene(scene, file, up, faces);
    PutOnOrigin(&model, how & 16 ? 10 : 0, file);
    CheckBaked(Bake(model, file));
  } catch (const ToolError&) {
  }
  return 0;
}
