// Maps a point of the current modelview space to window coordinates, with
// the GL viewport and matrices of the moment.
#pragma once

// The result lands in mesh_vertices[max_vertices - 1].screen.
void project_point(float x, float y, float z);
