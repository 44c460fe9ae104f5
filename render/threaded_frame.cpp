#include "render/threaded_frame.h"

#include "render/face_setup.h"
#include "render/thread_sync.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Slices per thread: enough that the thread that takes the last slice keeps the others waiting
// only briefly. Every slice keeps a bin per band, so many threads share a bounded number.
constexpr size_t kSlicesPerThread = 16;
constexpr size_t kMaxSlices = 256;
// The vertex phase is cut finer still: its chunks need no buffers of their own.
constexpr size_t kVertexChunksPerSlice = 4;
// Bands per thread, for the same balance in the fill; a band is never thinner than this.
constexpr int32_t kBandsPerThread = 8;
constexpr int32_t kMinBandRows = 8;
// What the bins may hold, beyond the allowance, for each face drawn: a face spans a few bands in
// a sound scene, and a file holds each face in at least 8 bytes, so this keeps the bins within 32
// times the file's size. Faces that span many bands each (thin faces the height of a tall frame
// cut into hundreds of bands) would need far more: the frame then draws them in batches.
constexpr size_t kBinBytesPerFace = 256;
constexpr size_t kDefaultBinAllowance = size_t{64} << 20;
constexpr size_t kNoSlice = SIZE_MAX;

// An array that keeps its storage between frames: used counts this frame's entries, the rest is
// room an earlier frame needed.
template <typename T> struct Pool {
    std::vector<T> items;
    size_t used = 0;
};

// What the fill needs of a set-up face besides its edges. A face that lies in one band keeps its
// edges in that band's bin, after those of the bin's faces before it; one that touches several
// keeps them once in its slice's shared pool, and each band fills a copy (the fill consumes the
// edges it steps). Many faces of a dense mesh cover one row: such a face keeps no edges, only its
// span, the pixels that stepping its edges would fill.
struct BinnedFace {
    uint32_t colour;
    uint8_t left_count; // 0 for a span
    uint8_t right_count;
    bool shared;
    uint32_t shared_edges; // where its edges start in the shared pool, when shared
    int32_t row = 0;       // a span's row, and its columns begin..end-1 within the frame
    int32_t begin = 0, end = 0;
};

// The faces of one slice that touch one band, in face order; edges: the left chain's, then the
// right chain's, of each face that is not shared.
struct Bin {
    Pool<BinnedFace> faces;
    Pool<EdgeStep> edges;
};

// The faces of one mesh in a slice that turn towards the camera: the next count entries of the
// slice's front pool.
struct FrontRun {
    size_t mesh;
    size_t count;
};

// A slice is pending until its faces are set up, then ready until they are drawn.
enum class SliceState : uint8_t { pending, ready, drawn };

// A run of consecutive faces in scene order and what its thread made of them: first the faces
// that turn towards the camera, in order, then the set-up faces, one bin per band. Aligned to a
// cache line: threads write the records of neighbouring slices at the same time.
struct alignas(64) Slice {
    size_t face_begin = 0, face_end = 0;
    SliceState state = SliceState::pending;
    Pool<FrontFace> front;
    Pool<FrontRun> front_runs;
    std::vector<Bin> bins;
    Pool<EdgeStep> shared;
};

// What the threads are drawing now. Written by the calling thread before the workers wake.
struct FrameJob {
    ViewSetup view;
    std::span<const MeshObject> meshes;
    Frame frame;
    uint32_t colour = 0;
    int32_t rows = 0, band_rows = 1, bands = 0;
    size_t vertex_total = 0;
    const int32_t* band_of_row = nullptr; // rows entries
};

} // namespace

struct RenderThreads {
    int32_t count = 1;
    std::vector<std::thread> workers;
    // Each counter on a line of its own: every thread writes them, and the frame's data the
    // threads only read should not move between processors with them.
    alignas(64) std::atomic<int32_t> generation{0}; // moves once per frame, and to stop
    alignas(64) std::atomic<int32_t> running{0};    // workers still in the frame
    std::atomic<bool> quit{false};
    alignas(64) PhaseBarrier phase_end;
    alignas(64) std::atomic<size_t> next_cull_slice{0};
    alignas(64) std::atomic<size_t> next_vertex_slice{0};
    alignas(64) std::atomic<size_t> next_face_slice{0};
    alignas(64) std::atomic<size_t> next_band{0};
    alignas(64) std::atomic<bool> failed{false};
    // The bytes of the bins' pools (every slice's bins and shared edges), kept within bin_limit;
    // and the first slice of this batch whose faces did not fit in what was left.
    alignas(64) std::atomic<size_t> bin_bytes{0};
    alignas(64) std::atomic<size_t> first_refused{kNoSlice};
    size_t bin_limit = 0;
    size_t bin_allowance = kDefaultBinAllowance;
    size_t bin_bytes_per_face = kBinBytesPerFace;
    int32_t batches = 0; // of the last frame

    FrameJob job;
    // The meshes that have faces to draw, by their index in job.meshes; everything below that is
    // per mesh is per drawn mesh, so meshes without faces cost nothing beyond this list.
    std::vector<size_t> drawn;
    std::vector<MeshPose> poses;
    std::vector<size_t> vertex_offset; // per drawn mesh, plus the total
    std::vector<size_t> face_offset;   // per drawn mesh, plus the total
    std::vector<CachedVertex> cache;
    // Per cached vertex: 1 when a face that turns towards the camera uses it this frame. Set while
    // the faces are culled, cleared again when the vertices are transformed, so all 0 in between
    // frames. Several threads may mark one vertex: marks are only written through atomic_ref then.
    std::vector<uint8_t> used;
    std::vector<Slice> slices;
    std::vector<int32_t> band_of_row; // a lookup is cheaper than a division per face
};

namespace {

size_t mesh_of(const std::vector<size_t>& offsets, size_t index) {
    // The last mesh whose first index is at or before index; empty meshes are passed over.
    return size_t(std::upper_bound(offsets.begin(), offsets.end() - 1, index) - offsets.begin()) -
           1;
}

// Walks the meshes that own the indices begin..end-1 of a running count (vertex_offset or
// face_offset), calling each with its mesh, the first and end index within that mesh.
template <typename Visit>
void for_each_mesh_part(const std::vector<size_t>& offsets, size_t begin, size_t end,
                        Visit&& visit) {
    if (begin >= end) return;
    for (size_t m = mesh_of(offsets, begin); begin < end; ++m) {
        const size_t stop = std::min(end, offsets[m + 1]);
        if (begin < stop) visit(m, begin - offsets[m], stop - offsets[m]);
        begin = stop;
    }
}

// Caches the vertices that faces turned towards the camera use; the set-up reads no others. On a
// closed mesh about half the vertices lie only on faces turned away, and a vertex costs more than
// twice what the cull of a face does.
void transform_vertices(RenderThreads& rt, size_t begin, size_t end) {
    const ViewSetup& view = rt.job.view;
    for_each_mesh_part(rt.vertex_offset, begin, end, [&](size_t m, size_t first, size_t stop) {
        const VertexTransform transform = vertex_transform(rt.poses[m].mv, view);
        const Vertex* in = rt.job.meshes[rt.drawn[m]].vertices.data();
        CachedVertex* out = rt.cache.data() + rt.vertex_offset[m];
        uint8_t* used = rt.used.data() + rt.vertex_offset[m];
        for (size_t i = first; i < stop; ++i) {
            if (!used[i]) continue;
            used[i] = 0;
            cache_vertex(transform, in[i], out[i]);
        }
    });
}

// Sums the rows the right chain steps: the fill ends with it.
int64_t right_chain_rows(const EdgeTables& t) {
    int64_t rows = 0;
    for (int32_t i = 0; i < t.right_edge_count; ++i)
        rows += t.right_edges[size_t(i)].lines;
    return rows;
}

// Grows pool to hold n more entries than it uses. Out of line: it runs only while the buffers
// grow to what the scene needs.
template <typename T> [[gnu::noinline]] void grow(Pool<T>& pool, size_t n) {
    pool.items.resize(std::max(pool.items.size() * 2, pool.used + n + 16));
}

// Room for n more entries, valid until the pool next grows.
template <typename T> T* take(Pool<T>& pool, size_t n) {
    if (pool.items.size() - pool.used < n) grow(pool, n);
    T* at = pool.items.data() + pool.used;
    pool.used += n;
    return at;
}

// Makes room for n more entries in a pool of the bins unless that would take the bins past the
// frame's limit; false then, with the pool as it was.
template <typename T> bool make_room(RenderThreads& rt, Pool<T>& pool, size_t n) {
    const size_t size = pool.items.size();
    if (size - pool.used >= n) return true;
    const size_t grown = std::max(size * 2, pool.used + n + 16);
    const size_t added = (grown - size) * sizeof(T);
    if (rt.bin_bytes.fetch_add(added) + added > rt.bin_limit) {
        rt.bin_bytes -= added;
        return false;
    }
    try {
        pool.items.resize(grown);
    } catch (const std::bad_alloc&) {
        rt.bin_bytes -= added;
        throw;
    }
    return true;
}

template <typename T> void release(RenderThreads& rt, Pool<T>& pool) {
    rt.bin_bytes -= pool.items.size() * sizeof(T);
    std::vector<T>().swap(pool.items);
    pool.used = 0;
}

void release_bins(RenderThreads& rt, Slice& slice) {
    for (Bin& bin : slice.bins) {
        release(rt, bin.faces);
        release(rt, bin.edges);
    }
    release(rt, slice.shared);
}

void copy_chains(const EdgeTables& t, EdgeStep* to) {
    for (int32_t i = 0; i < t.left_edge_count; ++i)
        *to++ = t.left_edges[size_t(i)];
    for (int32_t i = 0; i < t.right_edge_count; ++i)
        *to++ = t.right_edges[size_t(i)];
}

// A face over one row, filed as the span it fills, if it has pixels. False when the bins have
// no room for it within the frame's limit.
bool keep_span(RenderThreads& rt, Slice& slice, const EdgeTables& t, uint32_t colour) {
    const FrameJob& job = rt.job;
    const RowSpan span = one_row_span(t, job.frame.width, job.rows);
    if (span.begin >= span.end) return true;
    Pool<BinnedFace>& faces = slice.bins[size_t(job.band_of_row[span.row])].faces;
    if (!make_room(rt, faces, 1)) return false;
    *take(faces, 1) = BinnedFace{colour, 0, 0, false, 0, span.row, span.begin, span.end};
    return true;
}

// Files the face under every band it has rows in; one above or below the frame is dropped. False
// when the bins have no room for it within the frame's limit: nothing of it is filed then.
bool keep_face(RenderThreads& rt, Slice& slice, const EdgeTables& t, uint32_t colour) {
    if (fills_one_row(t)) return keep_span(rt, slice, t, colour);
    const FrameJob& job = rt.job;
    const int32_t first = t.left_edges[0].y;
    if (first >= job.rows) return true;
    const int64_t end = std::min<int64_t>(int64_t(first) + right_chain_rows(t), job.rows);
    if (end <= 0) return true;
    const int32_t first_band = job.band_of_row[std::max(first, 0)];
    const int32_t last_band = job.band_of_row[end - 1];
    const size_t edges = size_t(t.left_edge_count + t.right_edge_count);
    BinnedFace face{colour, uint8_t(t.left_edge_count), uint8_t(t.right_edge_count), false, 0};
    if (first_band == last_band) {
        Bin& bin = slice.bins[size_t(first_band)];
        if (!make_room(rt, bin.edges, edges) || !make_room(rt, bin.faces, 1)) return false;
        copy_chains(t, take(bin.edges, edges));
        *take(bin.faces, 1) = face;
        return true;
    }
    if (!make_room(rt, slice.shared, edges)) return false;
    for (int32_t b = first_band; b <= last_band; ++b)
        if (!make_room(rt, slice.bins[size_t(b)].faces, 1)) return false;
    face.shared = true;
    face.shared_edges = uint32_t(slice.shared.used);
    copy_chains(t, take(slice.shared, edges));
    for (int32_t b = first_band; b <= last_band; ++b)
        *take(slice.bins[size_t(b)].faces, 1) = face;
    return true;
}

// Threads mark the vertices their faces share at the same time, all with the same value.
void mark_used(uint8_t& used) {
    std::atomic_ref<uint8_t>(used).store(1, std::memory_order_relaxed);
}

// Lists the faces first..stop-1 of mesh m that turn towards the camera and have valid indices,
// and marks the vertices they use.
void cull_faces(RenderThreads& rt, Slice& slice, size_t m, size_t first, size_t stop) {
    const MeshObject& mesh = rt.job.meshes[rt.drawn[m]];
    const MeshPose& pose = rt.poses[m];
    const size_t vertices = mesh.vertices.size();
    uint8_t* used = rt.used.data() + rt.vertex_offset[m];
    // Room for every face; what is not taken is given back below.
    FrontFace* const front = take(slice.front, stop - first);
    const size_t count = list_front_faces(pose, mesh.faces.data(), first, stop, vertices, front,
                                          [used](uint32_t v) { mark_used(used[v]); });
    slice.front.used -= (stop - first) - count;
    *take(slice.front_runs, 1) = FrontRun{m, count};
}

void cull_slice(RenderThreads& rt, Slice& slice) {
    slice.front.used = slice.front_runs.used = 0;
    try {
        for_each_mesh_part(
            rt.face_offset, slice.face_begin, slice.face_end,
            [&](size_t m, size_t first, size_t stop) { cull_faces(rt, slice, m, first, stop); });
    } catch (const std::bad_alloc&) {
        // Listed faces have their vertices marked; those not listed are not drawn.
        rt.failed = true;
    }
}

void clear_bins(Slice& slice) {
    for (Bin& bin : slice.bins)
        bin.faces.used = bin.edges.used = 0;
    slice.shared.used = 0;
}

// Sets up the slice's listed faces in order and calls use(tables, colour) for each that fills
// anything; stops at the first use that returns false and returns false then.
template <typename Use>
bool for_each_set_up_face(RenderThreads& rt, const Slice& slice, Use&& use) {
    const FrameJob& job = rt.job;
    EdgeTables tables;
    uint32_t colour = 0;
    const FrontFace* front = slice.front.items.data();
    for (size_t r = 0; r < slice.front_runs.used; ++r) {
        const FrontRun run = slice.front_runs.items[r];
        const MeshPose pose = rt.poses[run.mesh];
        const CachedVertex* cache = rt.cache.data() + rt.vertex_offset[run.mesh];
        for (const FrontFace* end = front + run.count; front < end; ++front)
            if (set_up_front_corners(pose, front->normal, cache[front->v[0]], cache[front->v[1]],
                                     cache[front->v[2]], job.view, job.colour, tables, colour) &&
                !use(tables, colour))
                return false;
    }
    return true;
}

// Files the faces of slice s into its bins, unless an earlier slice of this batch found no room
// (s then waits for a later batch) or its set-up faces were filed in an earlier batch.
void set_up_slice(RenderThreads& rt, size_t s) {
    Slice& slice = rt.slices[s];
    if (slice.state != SliceState::pending || s > rt.first_refused.load()) return;
    clear_bins(slice);
    try {
        if (for_each_set_up_face(rt, slice, [&](const EdgeTables& t, uint32_t colour) {
                return keep_face(rt, slice, t, colour);
            })) {
            slice.state = SliceState::ready;
            return;
        }
        // Out of room: the faces filed so far wait with the rest for a later batch.
        clear_bins(slice);
        for (size_t first = rt.first_refused.load();
             s < first && !rt.first_refused.compare_exchange_weak(first, s);)
            ;
    } catch (const std::bad_alloc&) {
        // A bin may hold a face without its edges: draw none of the slice.
        rt.failed = true;
        clear_bins(slice);
        slice.state = SliceState::ready;
    }
}

// A slice whose faces do not fit in the bins on their own is drawn face by face over the whole
// frame, as one thread draws a mesh.
void draw_slice_alone(RenderThreads& rt, const Slice& slice) {
    for_each_set_up_face(rt, slice, [&](EdgeTables& t, uint32_t colour) {
        fill_set_up_face(t, rt.job.frame, colour);
        return true;
    });
}

// Fills the band from the bins of slices first..last-1; the first batch clears it before.
void fill_band(RenderThreads& rt, int32_t band, size_t first, size_t last, bool clear) {
    const FrameJob& job = rt.job;
    const int32_t begin = band * job.band_rows;
    const int32_t end = std::min(begin + job.band_rows, job.rows);
    for (int32_t row = begin; clear && row < end; ++row) {
        uint32_t* pixels = job.frame.pixels + ptrdiff_t(row) * job.frame.stride;
        std::fill(pixels, pixels + job.frame.width, 0u);
    }
    for (size_t s = first; s < last; ++s) {
        Slice& slice = rt.slices[s];
        Bin& bin = slice.bins[size_t(band)];
        EdgeStep* edges = bin.edges.items.data();
        for (size_t i = 0; i < bin.faces.used; ++i) {
            const BinnedFace& f = bin.faces.items[i];
            if (f.left_count == 0) {
                uint32_t* pixels = job.frame.pixels + ptrdiff_t(f.row) * job.frame.stride;
                std::fill(pixels + f.begin, pixels + f.end, f.colour);
                continue;
            }
            if (!f.shared) {
                fill_edge_chains(edges, f.left_count, edges + f.left_count, f.right_count,
                                 job.frame, f.colour, begin, end);
                edges += f.left_count + f.right_count;
                continue;
            }
            std::array<EdgeStep, 2 * kMaxClipVertices> copy;
            std::copy_n(slice.shared.items.data() + f.shared_edges, f.left_count + f.right_count,
                        copy.begin());
            fill_edge_chains(copy.data(), f.left_count, copy.data() + f.left_count, f.right_count,
                             job.frame, f.colour, begin, end);
        }
    }
}

// The first slice from begin on that is not ready to be drawn.
size_t batch_end(const RenderThreads& rt, size_t begin) {
    while (begin < rt.slices.size() && rt.slices[begin].state == SliceState::ready)
        ++begin;
    return begin;
}

// Every thread of the frame runs this; the phases are separated by the barrier. The calling
// thread (first) resets the counters of a phase while no thread uses them.
void run_frame(RenderThreads& rt, bool first) {
    for (size_t s; (s = rt.next_cull_slice++) < rt.slices.size();)
        cull_slice(rt, rt.slices[s]);
    arrive_and_wait(rt.phase_end);
    const size_t vertex_slices = rt.slices.size() * kVertexChunksPerSlice;
    for (size_t s; (s = rt.next_vertex_slice++) < vertex_slices;)
        transform_vertices(rt, rt.job.vertex_total * s / vertex_slices,
                           rt.job.vertex_total * (s + 1) / vertex_slices);
    arrive_and_wait(rt.phase_end);
    // Slices are drawn in batches, in order: each batch sets up the slices whose faces fit in the
    // bins, then draws those that come before the first that did not. Nearly every frame is one
    // batch.
    for (size_t begin = 0, batch = 0;; ++batch) {
        for (size_t s; (s = rt.next_face_slice++) < rt.slices.size();)
            set_up_slice(rt, s);
        arrive_and_wait(rt.phase_end);
        const size_t end = batch_end(rt, begin);
        if (first) rt.next_face_slice = end;
        for (size_t b; (b = rt.next_band++) < size_t(rt.job.bands);)
            fill_band(rt, int32_t(b), begin, end, batch == 0);
        if (end == rt.slices.size()) return;
        arrive_and_wait(rt.phase_end);
        // Between batches the calling thread gives back the bins just drawn, so the next batch
        // has the room, and draws on its own a slice that does not fit even in empty bins.
        if (first) {
            for (size_t s = begin; s < end; ++s) {
                release_bins(rt, rt.slices[s]);
                rt.slices[s].state = SliceState::drawn;
            }
            if (begin == end) {
                draw_slice_alone(rt, rt.slices[end]);
                rt.slices[end].state = SliceState::drawn;
                rt.next_face_slice = end + 1;
            }
            rt.next_band = 0;
            rt.first_refused = kNoSlice;
            ++rt.batches;
        }
        begin = begin == end ? end + 1 : end;
        arrive_and_wait(rt.phase_end);
        if (begin == rt.slices.size()) return;
    }
}

void worker_main(RenderThreads* rt) {
    for (int32_t seen = 0;;) {
        wait_for_change(rt->generation, seen);
        seen = rt->generation.load(std::memory_order_acquire);
        if (rt->quit.load(std::memory_order_acquire)) return;
        run_frame(*rt, false);
        change_and_wake(rt->running, -1);
    }
}

// Poses, offsets and buffers for this frame, on the calling thread. False when memory runs out.
bool prepare_frame(RenderThreads& rt, std::span<const MeshObject> meshes,
                   const Matrix4& camera_matrix) {
    try {
        rt.drawn.clear();
        for (size_t m = 0; m < meshes.size(); ++m)
            if (drawn_face_count(meshes[m]) > 0) rt.drawn.push_back(m);
        const size_t drawn = rt.drawn.size();
        rt.poses.resize(drawn);
        rt.vertex_offset.resize(drawn + 1);
        rt.face_offset.resize(drawn + 1);
        rt.vertex_offset[0] = rt.face_offset[0] = 0;
        for (size_t d = 0; d < drawn; ++d) {
            const MeshObject& mesh = meshes[rt.drawn[d]];
            rt.poses[d] = mesh_pose(mesh.matrix, camera_matrix);
            rt.vertex_offset[d + 1] = rt.vertex_offset[d] + mesh.vertices.size();
            rt.face_offset[d + 1] = rt.face_offset[d] + drawn_face_count(mesh);
        }
        if (rt.cache.size() < rt.vertex_offset.back()) rt.cache.resize(rt.vertex_offset.back());
        if (rt.used.size() < rt.vertex_offset.back()) rt.used.resize(rt.vertex_offset.back());
        rt.band_of_row.resize(size_t(rt.job.rows));
        for (int32_t row = 0; row < rt.job.rows; ++row)
            rt.band_of_row[size_t(row)] = row / rt.job.band_rows;
        for (Slice& slice : rt.slices)
            slice.bins.resize(size_t(rt.job.bands));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t faces = rt.face_offset.back();
    rt.bin_limit = rt.bin_allowance + rt.bin_bytes_per_face * faces;
    // Bins an earlier, larger scene grew are given back when this one may not hold as much.
    if (rt.bin_bytes > rt.bin_limit)
        for (Slice& slice : rt.slices)
            release_bins(rt, slice);
    const size_t slices = rt.slices.size();
    for (size_t s = 0; s < slices; ++s) {
        rt.slices[s].face_begin = faces * s / slices;
        rt.slices[s].face_end = faces * (s + 1) / slices;
        rt.slices[s].state = SliceState::pending;
    }
    rt.job.vertex_total = rt.vertex_offset.back();
    rt.job.band_of_row = rt.band_of_row.data();
    return true;
}

} // namespace

int32_t default_render_thread_count() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : int32_t(std::min<unsigned>(n, kMaxRenderThreads));
}

int32_t render_band_rows(int32_t rows, int32_t threads) {
    const int32_t bands = std::max(threads, 1) * kBandsPerThread;
    return std::max(kMinBandRows, (std::max(rows, 1) + bands - 1) / bands);
}

RenderThreads* render_threads_start(int32_t threads, std::string& error) {
    const int32_t count = std::clamp(threads, 1, kMaxRenderThreads);
    auto* rt = new (std::nothrow) RenderThreads;
    if (rt == nullptr) {
        error = "out of memory for the render threads";
        return nullptr;
    }
    rt->count = count;
    try {
        rt->phase_end.count = count;
        rt->slices.resize(count == 1 ? 1 : std::min(size_t(count) * kSlicesPerThread, kMaxSlices));
        rt->workers.reserve(size_t(count - 1));
        for (int32_t i = 1; i < count; ++i)
            rt->workers.emplace_back(worker_main, rt);
    } catch (const std::system_error& e) {
        error = "cannot start render thread " + std::to_string(rt->workers.size() + 2) + " of " +
                std::to_string(count) + ": " + e.what();
        render_threads_stop(rt);
        return nullptr;
    } catch (const std::bad_alloc&) {
        error = "out of memory for the render threads";
        render_threads_stop(rt);
        return nullptr;
    }
    return rt;
}

void render_threads_stop(RenderThreads* rt) {
    if (rt == nullptr) return;
    rt->quit.store(true, std::memory_order_release);
    change_and_wake(rt->generation, 1);
    for (std::thread& t : rt->workers)
        t.join();
    delete rt;
}

int32_t render_thread_count(const RenderThreads& rt) {
    return rt.count;
}

bool render_frame_threaded(RenderThreads& rt, const ViewSetup& view,
                           std::span<const MeshObject> meshes, const Matrix4& camera_matrix,
                           const Frame& frame, uint32_t colour) {
    FrameJob& job = rt.job;
    job.view = view;
    job.meshes = meshes;
    job.frame = frame;
    job.colour = colour;
    job.rows = frame_is_drawable(frame) ? frame.height : 0;
    job.band_rows = render_band_rows(job.rows, rt.count);
    job.bands = (job.rows + job.band_rows - 1) / job.band_rows;
    if (!prepare_frame(rt, meshes, camera_matrix)) return false;
    rt.next_cull_slice = 0;
    rt.next_vertex_slice = 0;
    rt.next_face_slice = 0;
    rt.next_band = 0;
    rt.failed = false;
    rt.first_refused = kNoSlice;
    rt.batches = 1;
    rt.running.store(rt.count - 1, std::memory_order_relaxed);
    change_and_wake(rt.generation, 1);
    run_frame(rt, true);
    for (int32_t left; (left = rt.running.load(std::memory_order_acquire)) != 0;)
        wait_for_change(rt.running, left);
    return !rt.failed;
}

void render_threads_limit_bins(RenderThreads& rt, size_t allowance, size_t bytes_per_face) {
    rt.bin_allowance = allowance;
    rt.bin_bytes_per_face = bytes_per_face;
}

namespace {

template <typename T> size_t bytes_of(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}

} // namespace

RenderFrameUse render_threads_last_frame(const RenderThreads& rt) {
    RenderFrameUse use;
    use.bin_bytes = rt.bin_bytes.load();
    use.bin_limit = rt.bin_limit;
    use.batches = rt.batches;
    use.buffer_bytes = use.bin_bytes + bytes_of(rt.drawn) + bytes_of(rt.poses) +
                       bytes_of(rt.vertex_offset) + bytes_of(rt.face_offset) + bytes_of(rt.cache) +
                       bytes_of(rt.used) + bytes_of(rt.slices) + bytes_of(rt.band_of_row);
    for (const Slice& slice : rt.slices)
        use.buffer_bytes +=
            bytes_of(slice.front.items) + bytes_of(slice.front_runs.items) + bytes_of(slice.bins);
    return use;
}
