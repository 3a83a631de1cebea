#include "net/lockstep.h"

#include <cstdio>
#include <cstring>

namespace {

int remote_side(const Lockstep& lockstep) { return 1 - lockstep.local_side; }

SideCommand& slot(Lockstep* lockstep, int side, uint32_t frame) {
    return lockstep->commands[side][frame % lockstep_ring_frames];
}

void drop_first(DigestRecord* records, int* count) {
    std::memmove(records, records + 1, sizeof *records * static_cast<size_t>(*count - 1));
    --*count;
}

void part(Lockstep* lockstep, PartingCause cause, uint32_t frame) {
    if (lockstep->desynced) return;
    lockstep->desynced = true;
    lockstep->parting_cause = cause;
    lockstep->desync_frame = frame;
}

void compare_digests(Lockstep* lockstep, uint32_t frame, const DigestRecord& local, const uint8_t* remote_fingerprint,
                     uint64_t remote) {
    if (local.whole == remote || lockstep->desynced) return;
    part(lockstep, parted_digests, frame);
    lockstep->desync_local = local.whole;
    lockstep->desync_peer = remote;
    std::memcpy(lockstep->desync_local_fingerprint, local.fingerprint, packet_fingerprint_bytes);
    std::memcpy(lockstep->desync_peer_fingerprint, remote_fingerprint, packet_fingerprint_bytes);
}

// A local digest leaves the table once the other side holds it and it has
// been compared: nothing more is done with it.
void forget_settled_digests(Lockstep* lockstep) {
    int kept = 0;
    for (int i = 0; i < lockstep->local_digest_count; ++i) {
        DigestRecord& record = lockstep->local_digests[i];
        record.settled = record.frame < lockstep->peer_digests_held;
        if (!record.settled || !record.compared) lockstep->local_digests[kept++] = record;
    }
    lockstep->local_digest_count = kept;
}

void take_remote_digest(Lockstep* lockstep, const PacketDigest& digest) {
    for (int i = 0; i < lockstep->local_digest_count; ++i) {
        DigestRecord& local = lockstep->local_digests[i];
        if (local.frame != digest.frame) continue;
        local.compared = true;
        compare_digests(lockstep, digest.frame, local, digest.fingerprint, digest.whole);
        return;
    }
    if (lockstep->remote_digest_count == lockstep_digest_slots) {
        drop_first(lockstep->remote_digests, &lockstep->remote_digest_count);
        ++lockstep->digests_lost;
    }
    DigestRecord& kept = lockstep->remote_digests[lockstep->remote_digest_count++];
    kept = DigestRecord();
    kept.frame = digest.frame;
    kept.whole = digest.whole;
    std::memcpy(kept.fingerprint, digest.fingerprint, packet_fingerprint_bytes);
}

// Whether an honest peer of this game could have sent the packet: its side
// is the other one, it leaves no gap after the commands we hold, reaches no
// further than the window, and acknowledges nothing we never made.
bool plausible(const Lockstep& lockstep, const LockstepPacket& packet) {
    const uint64_t window_end = static_cast<uint64_t>(lockstep.next_frame) + lockstep_most_ahead;
    if (packet.side != remote_side(lockstep) || packet.first > lockstep.known[remote_side(lockstep)] ||
        packet.first + static_cast<uint64_t>(packet.command_count) > window_end ||
        packet.commands_held > lockstep.known[lockstep.local_side] ||
        packet.digests_held > lockstep.digests_made)
        return false;
    for (int i = 0; i < packet.digest_count; ++i)
        if (packet.digests[i].frame >= window_end) return false;
    return true;
}

// Whether a side may say something at frame: later than its last message,
// and fewer than chat_most_per_window in the window that ends there.
bool chat_allowed(const Lockstep& lockstep, int side, uint32_t frame) {
    const int said = lockstep.chat_said_count[side];
    if (said > 0 && frame <= lockstep.chat_said[side][said - 1]) return false;
    int recent = 0;
    for (int i = 0; i < said; ++i)
        if (frame - lockstep.chat_said[side][i] < chat_window_frames) ++recent;
    return recent < chat_most_per_window;
}

// A message both sides keep: counted against its side and due at its frame.
bool keep_chat(Lockstep* lockstep, int side, uint32_t frame, const char* text) {
    if (!chat_allowed(*lockstep, side, frame) || lockstep->chat_due_count == lockstep_chat_slots) return false;
    int& said = lockstep->chat_said_count[side];
    if (said == chat_most_per_window) {
        std::memmove(lockstep->chat_said[side], lockstep->chat_said[side] + 1, sizeof(uint32_t) * (said - 1));
        --said;
    }
    lockstep->chat_said[side][said++] = frame;
    ChatMessage& due = lockstep->chat_due[lockstep->chat_due_count++];
    due.frame = frame;
    due.side = side;
    std::snprintf(due.text, sizeof due.text, "%s", text);
    return true;
}

void forget_held_chat(Lockstep* lockstep) {
    int kept = 0;
    for (int i = 0; i < lockstep->chat_unheld_count; ++i)
        if (lockstep->chat_unheld[i].frame >= lockstep->peer_holds)
            lockstep->chat_unheld[kept++] = lockstep->chat_unheld[i];
    lockstep->chat_unheld_count = kept;
}

// The other side's messages that go with the commands just taken, those
// below known_before having been taken with their commands already.
void take_chats(Lockstep* lockstep, const LockstepPacket& packet, uint32_t known_before) {
    const int remote = remote_side(*lockstep);
    for (int i = 0; i < packet.chat_count; ++i) {
        const PacketChat& chat = packet.chats[i];
        if (chat.frame < known_before || chat.frame >= lockstep->known[remote]) continue;
        if (!keep_chat(lockstep, remote, chat.frame, chat.text)) ++lockstep->chats_refused;
    }
}

void add_save(Lockstep* lockstep, uint32_t frame) {
    for (int i = 0; i < lockstep->save_count; ++i)
        if (lockstep->saves_due[i] == frame) return;
    if (lockstep->save_count < lockstep_most_saves) lockstep->saves_due[lockstep->save_count++] = frame;
}

}  // namespace

void lockstep_start(Lockstep* lockstep, int local_side, int delay, int64_t now_ms, uint32_t first_frame) {
    std::memset(lockstep, 0, sizeof *lockstep);
    for (int side = 0; side < side_count; ++side)
        for (SideCommand& command : lockstep->commands[side]) command = no_command();
    lockstep->local_side = local_side == 1 ? 1 : 0;
    lockstep->delay = delay < packet_least_delay   ? packet_least_delay
                      : delay > packet_most_delay ? packet_most_delay
                                                  : delay;
    lockstep->next_frame = first_frame;
    lockstep->known[0] = lockstep->known[1] = first_frame + static_cast<uint32_t>(lockstep->delay);
    lockstep->peer_holds = first_frame + static_cast<uint32_t>(lockstep->delay);
    lockstep->digests_made = lockstep->digests_held = lockstep->peer_digests_held = first_frame;
    lockstep->last_heard_ms = now_ms;
    lockstep->give_up_ms = lockstep_rejoin_wait_ms;
    lockstep->refusing_since_ms = -1;
}

void lockstep_hold(Lockstep* lockstep) {
    lockstep->known[0] = lockstep->known[1] = lockstep->peer_holds = lockstep->next_frame;
}

void lockstep_release(Lockstep* lockstep) {
    uint32_t& known = lockstep->known[lockstep->local_side];
    while (known < lockstep->next_frame + static_cast<uint32_t>(lockstep->delay))
        slot(lockstep, lockstep->local_side, known++) = no_command();
}

bool lockstep_wants_command(const Lockstep& lockstep) {
    return lockstep.known[lockstep.local_side] <= lockstep.next_frame + static_cast<uint32_t>(lockstep.delay);
}

bool lockstep_submit(Lockstep* lockstep, const SideCommand& command) {
    if (!lockstep_wants_command(*lockstep)) return false;
    uint32_t& known = lockstep->known[lockstep->local_side];
    slot(lockstep, lockstep->local_side, known) = canonical_command(command);
    ++known;
    return true;
}

bool lockstep_ready(const Lockstep& lockstep, uint32_t frame) {
    return frame < lockstep.known[0] && frame < lockstep.known[1] &&
           static_cast<uint64_t>(frame) + lockstep_most_ahead >= lockstep.next_frame &&
           !(lockstep.peer_leaving && frame >= lockstep.peer_last_frame);
}

FrameCommands lockstep_commands(const Lockstep& lockstep, uint32_t frame) {
    FrameCommands commands = no_commands();
    if (!lockstep_ready(lockstep, frame)) return commands;
    for (int side = 0; side < side_count; ++side)
        commands.side[side] = lockstep.commands[side][frame % lockstep_ring_frames];
    return commands;
}

bool lockstep_take(Lockstep* lockstep, FrameCommands* commands) {
    if (!lockstep_ready(*lockstep, lockstep->next_frame)) return false;
    *commands = lockstep_commands(*lockstep, lockstep->next_frame);
    ++lockstep->next_frame;
    return true;
}

bool lockstep_ask_save(Lockstep* lockstep) {
    if (lockstep->save_asked && lockstep->peer_holds <= lockstep->save_asked) return false;
    lockstep->save_asked = lockstep->known[lockstep->local_side];
    add_save(lockstep, lockstep->save_asked);
    return true;
}

bool lockstep_save_due(Lockstep* lockstep) {
    for (int i = 0; i < lockstep->save_count; ++i) {
        if (lockstep->saves_due[i] != lockstep->next_frame) continue;
        lockstep->saves_due[i] = lockstep->saves_due[--lockstep->save_count];
        return true;
    }
    return false;
}

void lockstep_note_digest(Lockstep* lockstep, uint32_t frame, uint64_t whole, const uint8_t* fingerprint) {
    if (frame < lockstep->digests_made) return;
    lockstep->digests_made = frame + 1;
    DigestRecord record = DigestRecord();
    record.frame = frame;
    record.whole = whole;
    if (fingerprint) std::memcpy(record.fingerprint, fingerprint, packet_fingerprint_bytes);
    for (int i = 0; i < lockstep->remote_digest_count; ++i) {
        if (lockstep->remote_digests[i].frame != frame) continue;
        record.compared = true;
        compare_digests(lockstep, frame, record, lockstep->remote_digests[i].fingerprint,
                        lockstep->remote_digests[i].whole);
        std::memmove(&lockstep->remote_digests[i], &lockstep->remote_digests[i + 1],
                     sizeof(DigestRecord) * static_cast<size_t>(lockstep->remote_digest_count - i - 1));
        --lockstep->remote_digest_count;
        break;
    }
    if (lockstep->local_digest_count == lockstep_digest_slots) {
        if (!lockstep->local_digests[0].compared) ++lockstep->digests_lost;
        drop_first(lockstep->local_digests, &lockstep->local_digest_count);
    }
    lockstep->local_digests[lockstep->local_digest_count++] = record;
}

void lockstep_outgoing(const Lockstep& lockstep, LockstepPacket* packet) {
    const int local = lockstep.local_side;
    packet->side = static_cast<uint8_t>(local);
    packet->leaving = lockstep.leaving;
    packet->save_at = lockstep.save_asked;
    packet->parting = lockstep.desynced;
    packet->commands_held = lockstep.known[remote_side(lockstep)];
    packet->digests_held = lockstep.digests_held;
    // A leaving side's commands end where its game ends, even those the
    // other side already holds: it runs no frame past that one either.
    uint32_t last = lockstep.known[local];
    if (lockstep.leaving && lockstep.next_frame < last) last = lockstep.next_frame;
    // An honest peer is never this far behind; the newest commands still
    // let it see that it has fallen out.
    if (lockstep.peer_holds >= last) packet->first = last;
    else if (last - lockstep.peer_holds > packet_most_commands) packet->first = last - packet_most_commands;
    else packet->first = lockstep.peer_holds;
    packet->command_count = static_cast<int>(last - packet->first);
    for (int i = 0; i < packet->command_count; ++i)
        packet->commands[i] = lockstep.commands[local][(packet->first + i) % lockstep_ring_frames];
    packet->digest_count = 0;
    for (int i = 0; i < lockstep.local_digest_count && packet->digest_count < packet_most_digests; ++i) {
        const DigestRecord& record = lockstep.local_digests[i];
        if (record.frame < lockstep.peer_digests_held) continue;
        PacketDigest& sent = packet->digests[packet->digest_count++];
        sent.frame = record.frame;
        sent.whole = record.whole;
        std::memcpy(sent.fingerprint, record.fingerprint, packet_fingerprint_bytes);
    }
    packet->chat_count = 0;
    for (int i = 0; i < lockstep.chat_unheld_count && packet->chat_count < packet_most_chats; ++i) {
        const ChatMessage& chat = lockstep.chat_unheld[i];
        if (chat.frame < packet->first || chat.frame - packet->first >= static_cast<uint32_t>(packet->command_count))
            continue;
        PacketChat& sent = packet->chats[packet->chat_count++];
        sent.frame = chat.frame;
        std::memcpy(sent.text, chat.text, sizeof sent.text);
    }
}

bool lockstep_incoming(Lockstep* lockstep, const LockstepPacket& packet, int64_t now_ms) {
    if (!plausible(*lockstep, packet)) {
        ++lockstep->packets_refused;
        if (lockstep->refusing_since_ms < 0) lockstep->refusing_since_ms = now_ms;
        else if (now_ms - lockstep->refusing_since_ms >= lockstep_refusal_limit_ms)
            part(lockstep, parted_refusals, lockstep->next_frame);
        return false;
    }
    ++lockstep->packets_taken;
    lockstep->refusing_since_ms = -1;
    if (now_ms > lockstep->last_heard_ms) lockstep->last_heard_ms = now_ms;
    if (packet.commands_held > lockstep->peer_holds) lockstep->peer_holds = packet.commands_held;
    if (packet.digests_held > lockstep->peer_digests_held) lockstep->peer_digests_held = packet.digests_held;
    const int remote = remote_side(*lockstep);
    const uint32_t known_before = lockstep->known[remote];
    for (int i = 0; i < packet.command_count; ++i) {
        if (packet.first + static_cast<uint32_t>(i) != lockstep->known[remote]) continue;  // held already
        slot(lockstep, remote, lockstep->known[remote]++) = packet.commands[i];
    }
    take_chats(lockstep, packet, known_before);
    forget_held_chat(lockstep);
    for (int i = 0; i < packet.digest_count; ++i) {
        if (packet.digests[i].frame < lockstep->digests_held) continue;  // held already
        take_remote_digest(lockstep, packet.digests[i]);
        lockstep->digests_held = packet.digests[i].frame + 1;
    }
    forget_settled_digests(lockstep);
    // A save the other side asked for at a frame this side has not run yet.
    if (packet.save_at > lockstep->peer_save_asked) {
        lockstep->peer_save_asked = packet.save_at;
        if (packet.save_at >= lockstep->next_frame) add_save(lockstep, packet.save_at);
    }
    if (packet.leaving && !lockstep->peer_leaving) {
        lockstep->peer_leaving = true;
        lockstep->peer_last_frame = packet.first + static_cast<uint32_t>(packet.command_count);
        // A leaving side ends at its last frame; if this game has run past
        // it (a forged leave, or a leaver cut short), the two games are no
        // longer the same game.
        if (packet.parting) part(lockstep, parted_told, lockstep->peer_last_frame);
        else if (lockstep->next_frame > lockstep->peer_last_frame)
            part(lockstep, parted_overrun, lockstep->peer_last_frame);
    }
    return true;
}

bool lockstep_say(Lockstep* lockstep, const char* text) {
    int length = 0;
    for (; length <= packet_chat_capacity && text[length]; ++length)
        if (text[length] < 0x20 || text[length] > 0x7e) return false;
    const int local = lockstep->local_side;
    const uint32_t frame = lockstep->known[local];
    if (length == 0 || length > packet_chat_capacity || lockstep->leaving ||
        lockstep->chat_unheld_count == lockstep_chat_slots || !keep_chat(lockstep, local, frame, text))
        return false;
    lockstep->chat_unheld[lockstep->chat_unheld_count++] = lockstep->chat_due[lockstep->chat_due_count - 1];
    return true;
}

bool lockstep_next_chat(Lockstep* lockstep, ChatMessage* message) {
    int best = -1;
    for (int i = 0; i < lockstep->chat_due_count; ++i) {
        const ChatMessage& due = lockstep->chat_due[i];
        if (due.frame >= lockstep->next_frame) continue;
        const ChatMessage* chosen = best < 0 ? nullptr : &lockstep->chat_due[best];
        if (!chosen || due.frame < chosen->frame || (due.frame == chosen->frame && due.side < chosen->side)) best = i;
    }
    if (best < 0) return false;
    *message = lockstep->chat_due[best];
    lockstep->chat_due[best] = lockstep->chat_due[--lockstep->chat_due_count];
    return true;
}

void lockstep_leave(Lockstep* lockstep) { lockstep->leaving = true; }

int64_t lockstep_silence_ms(const Lockstep& lockstep, int64_t now_ms) {
    return now_ms > lockstep.last_heard_ms ? now_ms - lockstep.last_heard_ms : 0;
}

LockstepStatus lockstep_status(const Lockstep& lockstep, int64_t now_ms) {
    const int64_t silence = lockstep_silence_ms(lockstep, now_ms);
    if (lockstep.desynced) return lockstep_desynced;
    if (lockstep.peer_leaving) return lockstep_peer_left;
    if (silence >= lockstep.give_up_ms) return lockstep_peer_silent;
    if (silence >= lockstep_dropped_ms) return lockstep_dropped;
    if (silence >= lockstep_wait_notice_ms) return lockstep_waiting;
    return lockstep_running;
}
