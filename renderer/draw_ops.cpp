#include "renderer/draw_ops.h"

#include <GL/gl.h>

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace veltrane {
namespace {

constexpr GLbitfield kClearMask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;  // 0x4100

// A quad's corners, in strip order: texture coordinate (s, t) and the offset of
// the vertex from the centre in units of the half size.
struct Corner {
  float s, t, dx, dy;
};
constexpr Corner kCorners[4] = {{1, 1, 1, 1}, {0, 1, -1, 1}, {1, 0, 1, -1}, {0, 0, -1, -1}};

float CornerCoord(float centre, float direction) {
  return direction > 0 ? centre + kHalfSize : centre - kHalfSize;
}

// The upper-left 2 x 2 block of the model-view matrix; rotations about z never
// touch the rest. Stored as rows.
struct Rotation2 {
  float m00 = 1, m01 = 0, m10 = 0, m11 = 1;
};

// Multiplies m by a rotation about +z on the right, with the same single-precision
// operations and summation order as Mesa's glRotatef (sinf/cosf of the angle
// converted in double), so the k-th quad matches what immediate mode draws.
void RotateZ(Rotation2& m, float angle) {
  if (angle == 0.0f) return;  // GL skips a zero rotation as well
  const float radians = static_cast<float>(static_cast<double>(angle) * std::numbers::pi / 180.0);
  const float s = std::sin(radians);
  const float c = std::cos(radians);
  const float a00 = m.m00, a01 = m.m01, a10 = m.m10, a11 = m.m11;
  m.m00 = a00 * c + a01 * s;
  m.m01 = a00 * -s + a01 * c;
  m.m10 = a10 * c + a11 * s;
  m.m11 = a10 * -s + a11 * c;
}

// Vertex data of the pending quads. The texture coordinates and indices repeat
// per quad and only grow; positions are rewritten every batch.
class QuadBatch {
 public:
  void Add(const Rotation2& m, float x, float y, float z) {
    for (const Corner& k : kCorners) {
      const float vx = CornerCoord(x, k.dx);
      const float vy = CornerCoord(y, k.dy);
      positions_.push_back(m.m00 * vx + m.m01 * vy);
      positions_.push_back(m.m10 * vx + m.m11 * vy);
      positions_.push_back(z);
    }
    ++quads_;
  }

  void Flush() {
    if (quads_ == 0) return;
    EnsurePattern(quads_);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions_.data());
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords_.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(quads_ * 6), GL_UNSIGNED_INT, indices_.data());
    glPopClientAttrib();
    positions_.clear();
    quads_ = 0;
  }

 private:
  // A strip v0 v1 v2 v3 is the triangles (v0, v1, v2) and (v2, v1, v3).
  void EnsurePattern(std::size_t quads) {
    for (std::size_t q = patternQuads_; q < quads; ++q) {
      for (const Corner& k : kCorners) {
        texCoords_.push_back(k.s);
        texCoords_.push_back(k.t);
      }
      const GLuint b = static_cast<GLuint>(q * 4);
      for (GLuint i : {b, b + 1, b + 2, b + 2, b + 1, b + 3}) indices_.push_back(i);
    }
    if (quads > patternQuads_) patternQuads_ = quads;
  }

  std::vector<float> positions_;
  std::vector<float> texCoords_;
  std::vector<GLuint> indices_;
  std::size_t quads_ = 0;
  std::size_t patternQuads_ = 0;
};

QuadBatch& TheQuadBatch() {
  static QuadBatch batch;
  return batch;
}

}  // namespace

void PlayDrawOps(const DrawOpList& ops, unsigned int spriteTexture) {
  for (const DrawOp& op : ops) {
    switch (op.kind) {
      case DrawOpKind::Clear:
        glClear(kClearMask);
        break;
      case DrawOpKind::LoadIdentity:
        glLoadIdentity();
        break;
      case DrawOpKind::BindSprite:
        glBindTexture(GL_TEXTURE_2D, spriteTexture);
        break;
      case DrawOpKind::Colour:
        glColor4f(op.a, op.b, op.c, op.d);
        break;
      case DrawOpKind::RotateZ:
        glRotatef(op.a, 0.0f, 0.0f, 1.0f);
        break;
      case DrawOpKind::Quad:
        glBegin(GL_TRIANGLE_STRIP);
        for (const Corner& k : kCorners) {
          glTexCoord2d(k.s, k.t);
          glVertex3f(CornerCoord(op.a, k.dx), CornerCoord(op.b, k.dy), op.c);
        }
        glEnd();
        break;
    }
  }
}

void PlayDrawOpsBatched(const DrawOpList& ops, unsigned int spriteTexture) {
  QuadBatch& batch = TheQuadBatch();
  // Rotations since the start of the list or the last load identity, relative to
  // the GL matrix in force; GL's own matrix is left alone until the end.
  Rotation2 rotation;
  bool rotated = false;
  for (const DrawOp& op : ops) {
    switch (op.kind) {
      case DrawOpKind::RotateZ:
        RotateZ(rotation, op.a);
        rotated = true;
        break;
      case DrawOpKind::Quad:
        batch.Add(rotation, op.a, op.b, op.c);
        break;
      case DrawOpKind::Clear:
        batch.Flush();
        glClear(kClearMask);
        break;
      case DrawOpKind::LoadIdentity:
        batch.Flush();
        glLoadIdentity();
        rotation = Rotation2{};
        rotated = false;
        break;
      case DrawOpKind::BindSprite:
        batch.Flush();
        glBindTexture(GL_TEXTURE_2D, spriteTexture);
        break;
      case DrawOpKind::Colour:
        batch.Flush();
        glColor4f(op.a, op.b, op.c, op.d);
        break;
    }
  }
  batch.Flush();
  if (rotated) {
    // Leave the accumulated turn in the model-view matrix, as the literal
    // rotations would have.
    const GLfloat m[16] = {rotation.m00, rotation.m10, 0, 0, rotation.m01, rotation.m11, 0, 0,
                           0,            0,            1, 0, 0,            0,            0, 1};
    glMultMatrixf(m);
  }
}

}  // namespace veltrane
