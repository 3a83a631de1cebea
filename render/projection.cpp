#include "render/projection.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "world/settings.h"
#include "world/world_arrays.h"

void project_point(float x, float y, float z) {
    if (!mesh_vertices) return;
    GLint viewport[4];
    GLdouble modelview[16];
    GLdouble projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // A point that cannot be projected (w of 0) keeps these zeros.
    GLdouble window_x = 0, window_y = 0, window_z = 0;
    gluProject(x, y, z, modelview, projection, viewport, &window_x, &window_y, &window_z);
    float* screen = mesh_vertices[max_vertices - 1].screen;
    screen[0] = static_cast<float>(window_x);
    screen[1] = static_cast<float>(window_y);
    screen[2] = static_cast<float>(window_z);
}
