// One frame: the first frame's loading, then the reference lines, sky, terrain, objects, glider and overlay.
#include <cstddef>

#include "config/config.h"
#include "physics/physics.h"
#include "render/render.h"
#include "scene/scene.h"
// Last: on Windows the GL headers need <windows.h>, which platform.h brings.
#include <GL/gl.h>
#include <GL/glu.h>

int bLoaded;

namespace {

void DrawMarkerTriangle(float red, float green, float blue, const CVertex3 corners[3]) {
  glBegin(GL_TRIANGLES);
  glColor3f(red, green, blue);
  for (int i = 0; i < 3; ++i) glVertex3f(corners[i].x, corners[i].y, corners[i].z);
  glEnd();
}

void MultiplyLookAt(const double eye[3], const double centre[3], const double up[3]) {
  gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], up[0], up[1], up[2]);
}

// Steps shared by every mesh draw: its own projection and the chase camera.
void BeginMeshDraw() {
  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 0.5, 1000.0);
  PositionCamera();
}

void DrawModel(const CModel& model, uint32_t texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(CVertex3), model.Vertices);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, sizeof(CVertex2), model.CoordText);
  glColor3f(1.0f, 1.0f, 1.0f);
  glDrawElements(GL_TRIANGLES, model.CountFace * 3, GL_UNSIGNED_INT, model.Face);
}

void DrawInstance(const CVertex3& at, const CModel& model, uint32_t texture) {
  glTranslatef(at.x, at.y, at.z);
  DrawModel(model, texture);
}

float ToDegrees(float angle) { return static_cast<float>(angle * 90.0 / (static_cast<double>(PI) / 2.0)); }

}  // namespace

void DrawHorizon(int i, int j) {
  BeginMeshDraw();
  const CVertex3& p = HorizonLinks[i].Position[j];
  DrawInstance({static_cast<float>(static_cast<double>(p.x) + CameraEye.x),
                static_cast<float>(static_cast<double>(p.y) + CameraEye.y),
                static_cast<float>(static_cast<double>(p.z) + CameraEye.z)},
               HorizonModel[i], HorizonTexture[i]);
  glPopMatrix();
}

void DrawLocation(int i, int j) {
  BeginMeshDraw();
  DrawInstance(LocationLinks[i].Position[j], LocationModel[i], LocationTexture[i]);
  if (GroundFollowOn == 1) FollowGround();
  glPopMatrix();
}

void DrawObjects(int i, int j) {
  BeginMeshDraw();
  DrawInstance(ObjectsLinks[i].Position[j], ObjectsModel[i], ObjectsTexture[i]);
  glPopMatrix();
}

void DrawGlader(int k) {
  BeginMeshDraw();
  glTranslatef(Glader.x, Glader.y, Glader.z);
  glRotatef(ToDegrees(GladerYaw), 0, 0, -1);
  glRotatef(ToDegrees(GladerPitch), 0, 1, 0);
  if (static_cast<size_t>(k) < GladerModel.size()) DrawModel(GladerModel[k], GladerTexture[k]);
  DrawAxes();
  glPopMatrix();
}

void DrawAxes() {
  glBegin(GL_LINES);
  glColor3f(1.0f, 1.0f, 1.0f);
  glVertex3f(0, 0, 0);
  glVertex3f(250.0f, 0, 0);
  glColor3f(1.0f, 1.0f, 1.0f);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 250.0f, 0);
  glColor3f(1.0f, 1.0f, 1.0f);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 0, 250.0f);
  glEnd();
}

void DrawPlumbLine() {
  glBegin(GL_LINES);
  glColor3f(1.0f, 1.0f, 1.0f);
  glVertex3f(Glader.x, Glader.y, 0);
  glVertex3f(Glader.x, Glader.y, Glader.z);
  glEnd();
}

void RenderScene() {
  if (bLoaded == 0) {
    if (LogLevel > 0) WriteLog("Render   RenderScene(Start Load) Proces", static_cast<float>(bLoaded));
    bLoaded = 1;
    DrawFaceMarker = DrawMarkerTriangle;
    ApplyLookAt = MultiplyLookAt;
    LoadSetting();
    LoadLink();
    linkFile();
    funEquationLinePolygon();
    if (LogLevel > 0) WriteLog("Render   RenderScene(End Load) Proces", static_cast<float>(bLoaded));
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 0.5, 750.0);
  MoveGlader();
  DrawAxes();
  DrawPlumbLine();
  for (int i = 0; i < CountHorizonLinks; ++i)
    for (int j = 0; j < HorizonLinks[i].CountPosition; ++j) DrawHorizon(i, j);
  for (int i = 0; i < CountLocationLinks; ++i)
    for (int j = 0; j < LocationLinks[i].CountPosition; ++j) DrawLocation(i, j);
  for (int i = 0; i < CountObjectsLinks; ++i)
    for (int j = 0; j < ObjectsLinks[i].CountPosition; ++j) DrawObjects(i, j);
  DrawGlader(0);
  DrawOverlay();
}

void ReadFramePixels(std::vector<uint8_t>* rgb, int* width, int* height) {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  *width = viewport[2];
  *height = viewport[3];
  rgb->assign(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 3, 0);
  if (rgb->empty()) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(viewport[0], viewport[1], *width, *height, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
}
