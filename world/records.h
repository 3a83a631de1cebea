// The plain records of the world: units, map cells and the terrain mesh.
// They carry no behaviour; every room refers to them by index.
#pragma once

#include <cstdint>

struct Unit {
    uint8_t active;       // 1: the slot holds a unit
    int32_t owner;        // 0 player, 1 computer, 2 neutral; 0 and 1 are also the leader's slot
    uint16_t tile_x;
    uint16_t tile_y;
    uint16_t level;       // always 0
    uint16_t goal_x;      // destination of a move order
    uint16_t goal_y;
    uint16_t next_x;      // next step, written by the path queries
    uint16_t next_y;
    int16_t target_unit;  // unit attacked (order 2) or mine visited (order 3)
    uint16_t order;       // 0 idle, 1 move, 2 attack, 3 gather
    uint16_t blocks_path; // read only by the search grid; nothing sets it
    uint16_t kind;        // also the image slot of the unit's picture
    uint16_t mobility;    // 2 for a mine, 1 for everything else
    uint8_t mining;       // computer unit paid by a mine while gathering
    float gold;           // leader: treasury; mine: reserve; others 1.0
    float max_hp;
    float hp;
    uint8_t dead;
    int32_t attack;
};

struct MapCell {
    float ceil_a;
    float floor_a;
    float ceil_b;
    float floor_b;
    float ceil_c;
    float floor_c;
    float ceil_d;
    float floor_d;
    uint8_t checker;           // which diagonal splits floor and ceiling quads
    uint8_t ceiling_texture;
    uint8_t floor_texture;
    uint8_t wall_ymin_texture;
    uint8_t wall_ymax_texture;
    uint8_t wall_xmax_texture;
    uint8_t wall_xmin_texture;
};

struct MeshVertex {
    float pos[3];     // relative to the view centre tile's low corner
    float screen[3];  // only used in the last slot, as the projection's result
    float u;
    float v;
};

struct MeshTriangle {
    uint32_t vertex[3];
    uint32_t texture;  // index into texture_names
};

// Orders a unit can carry.
constexpr uint16_t order_idle = 0;
constexpr uint16_t order_move = 1;
constexpr uint16_t order_attack = 2;
constexpr uint16_t order_gather = 3;

// Owners.
constexpr int32_t owner_player = 0;
constexpr int32_t owner_computer = 1;
constexpr int32_t owner_neutral = 2;
