// Builds the terrain around the view centre as textured triangles, every
// frame, into mesh_vertices and mesh_triangles.
#pragma once

void build_terrain_mesh(int level, int cx, int cy, int radius);
