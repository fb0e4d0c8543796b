#include "audioring.h"

#include <algorithm>
#include <cstring>

#include "audioout.h"

namespace {

WmmBlock wmm_blocks[WMM_BLOCKS];
int play_block = 0;  // the block played next; the output's alone while it plays

}  // namespace

void audioring_reset()
{
    for (WmmBlock& block : wmm_blocks) {
        block.wh.done.store(true, std::memory_order_relaxed);
        block.wh.consumed = 0;
    }
    play_block = 0;
}

void audioring_play(char* stream, int len)
{
    while (len > 0) {
        WmmBlock* block = &wmm_blocks[play_block];
        if (block->wh.done.load(std::memory_order_acquire)) {
            std::memset(stream, 0, (size_t)len);
            return;
        }
        int n = std::min(WMM_BLOCK_BYTES - block->wh.consumed, len);
        std::memcpy(stream, block->buf + block->wh.consumed, (size_t)n);
        stream += n;
        len -= n;
        block->wh.consumed += n;
        if (block->wh.consumed == WMM_BLOCK_BYTES) {
            block->wh.consumed = 0;
            block->wh.done.store(true, std::memory_order_release);
            play_block = (play_block + 1) % WMM_BLOCKS;
        }
    }
}

bool driver_block_done(int i)
{
    return wmm_blocks[i].wh.done.load(std::memory_order_acquire);
}

char* driver_block_buf(int i)
{
    return wmm_blocks[i].buf;
}

void driver_write(int i)
{
    wmm_blocks[i].wh.done.store(false, std::memory_order_release);
}
