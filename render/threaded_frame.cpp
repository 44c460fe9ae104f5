#include "render/threaded_frame.h"

#include "render/face_setup.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Slices per thread: enough that a thread that drew a costly slice is not left waiting for the
// others, few enough that the per-slice buffers stay large.
constexpr size_t kSlicesPerThread = 4;
// Bands per thread, for the same balance in the fill; a band is never thinner than this.
constexpr int32_t kBandsPerThread = 8;
constexpr int32_t kMinBandRows = 8;

// One set-up face, ready to fill any band of rows.
struct BinnedFace {
    int32_t first_row; // the row the fill starts stepping at (may lie above the frame)
    int32_t end_row;   // no pixel at or below this row; within the frame's rows
    uint32_t colour;
    uint32_t edges; // the left chain's edges, then the right chain's, in the slice's edge pool
    uint8_t left_count;
    uint8_t right_count;
};

// A run of consecutive faces in scene order and what its thread made of them.
struct Slice {
    size_t face_begin = 0, face_end = 0;
    std::vector<BinnedFace> faces;
    std::vector<EdgeStep> edges;
    std::vector<uint32_t> band_start; // bands + 1 offsets into entries
    std::vector<uint32_t> entries;    // indices into faces, grouped by band, in face order
};

// What the threads are drawing now. Written by the calling thread before the workers wake.
struct FrameJob {
    std::span<const MeshObject> meshes;
    Frame frame;
    uint32_t colour = 0;
    int32_t rows = 0, band_rows = 1, bands = 0;
    size_t vertex_total = 0;
};

} // namespace

struct RenderThreads {
    int32_t count = 1;
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake, done;
    uint64_t generation = 0;
    int32_t running = 0;
    bool quit = false;
    std::unique_ptr<std::barrier<>> phase_end;

    FrameJob job;
    std::vector<MeshPose> poses;
    std::vector<size_t> vertex_offset; // per mesh, plus the total
    std::vector<size_t> face_offset;   // per mesh, plus the total
    std::vector<CachedVertex> cache;
    std::vector<Slice> slices;
    std::atomic<size_t> next_vertex_slice{0}, next_face_slice{0}, next_band{0};
    std::atomic<bool> failed{false};
};

namespace {

size_t mesh_of(const std::vector<size_t>& offsets, size_t index) {
    // The last mesh whose first index is at or before index; empty meshes are passed over.
    return size_t(std::upper_bound(offsets.begin(), offsets.end() - 1, index) - offsets.begin()) -
           1;
}

void transform_vertices(RenderThreads& rt, size_t begin, size_t end) {
    if (begin >= end) return;
    const ViewSetup& view = view_setup();
    size_t m = mesh_of(rt.vertex_offset, begin);
    for (size_t i = begin; i < end; ++i) {
        while (i >= rt.vertex_offset[m + 1])
            ++m;
        const MeshObject& mesh = rt.job.meshes[m];
        rt.cache[i] = cache_vertex(rt.poses[m].mv, mesh.vertices[i - rt.vertex_offset[m]], view);
    }
}

// Sums the rows the right chain steps: the fill ends with it.
int64_t right_chain_rows(const EdgeTables& t) {
    int64_t rows = 0;
    for (int32_t i = 0; i < t.right_edge_count; ++i)
        rows += t.right_edges[size_t(i)].lines;
    return rows;
}

void keep_face(Slice& slice, const EdgeTables& t, uint32_t colour, int32_t frame_rows) {
    const int32_t first = t.left_edges[0].y;
    const int64_t end = std::min<int64_t>(int64_t(first) + right_chain_rows(t), frame_rows);
    if (end <= 0 || first >= frame_rows) return; // no row of it lies in the frame
    BinnedFace face;
    face.first_row = first;
    face.end_row = int32_t(end);
    face.colour = colour;
    face.edges = uint32_t(slice.edges.size());
    face.left_count = uint8_t(t.left_edge_count);
    face.right_count = uint8_t(t.right_edge_count);
    slice.edges.insert(slice.edges.end(), t.left_edges.begin(),
                       t.left_edges.begin() + t.left_edge_count);
    slice.edges.insert(slice.edges.end(), t.right_edges.begin(),
                       t.right_edges.begin() + t.right_edge_count);
    slice.faces.push_back(face);
}

int32_t first_band(const BinnedFace& f, int32_t band_rows) {
    return std::max(f.first_row, 0) / band_rows;
}
int32_t last_band(const BinnedFace& f, int32_t band_rows) {
    return (f.end_row - 1) / band_rows;
}

// Files every kept face of the slice under each band it touches, keeping face order per band.
void sort_into_bands(Slice& slice, const FrameJob& job) {
    slice.band_start.assign(size_t(job.bands) + 1, 0);
    for (const BinnedFace& f : slice.faces)
        for (int32_t b = first_band(f, job.band_rows); b <= last_band(f, job.band_rows); ++b)
            ++slice.band_start[size_t(b) + 1];
    for (size_t b = 1; b < slice.band_start.size(); ++b)
        slice.band_start[b] += slice.band_start[b - 1];
    slice.entries.resize(slice.band_start.back());
    // band_start[b] serves as the write cursor of band b and ends as the start of band b + 1;
    // shifting back restores the starts.
    for (uint32_t i = 0; i < slice.faces.size(); ++i) {
        const BinnedFace& f = slice.faces[i];
        for (int32_t b = first_band(f, job.band_rows); b <= last_band(f, job.band_rows); ++b)
            slice.entries[slice.band_start[size_t(b)]++] = i;
    }
    for (size_t b = slice.band_start.size() - 1; b > 0; --b)
        slice.band_start[b] = slice.band_start[b - 1];
    slice.band_start[0] = 0;
}

void set_up_slice(RenderThreads& rt, Slice& slice) {
    const FrameJob& job = rt.job;
    const ViewSetup& view = view_setup();
    slice.faces.clear();
    slice.edges.clear();
    if (slice.face_begin >= slice.face_end) {
        slice.band_start.assign(size_t(job.bands) + 1, 0);
        return;
    }
    try {
        EdgeTables tables;
        uint32_t colour = 0;
        size_t m = mesh_of(rt.face_offset, slice.face_begin);
        for (size_t f = slice.face_begin; f < slice.face_end; ++f) {
            while (f >= rt.face_offset[m + 1])
                ++m;
            const MeshObject& mesh = job.meshes[m];
            const std::span<const CachedVertex> cache(rt.cache.data() + rt.vertex_offset[m],
                                                      mesh.vertices.size());
            if (set_up_face(rt.poses[m], mesh.faces[f - rt.face_offset[m]], cache, view, job.colour,
                            tables, colour))
                keep_face(slice, tables, colour, job.rows);
        }
        sort_into_bands(slice, job);
    } catch (const std::bad_alloc&) {
        rt.failed = true;
        slice.faces.clear();
        slice.band_start.assign(size_t(job.bands) + 1, 0);
    }
}

void fill_band(RenderThreads& rt, int32_t band) {
    const FrameJob& job = rt.job;
    const int32_t begin = band * job.band_rows;
    const int32_t end = std::min(begin + job.band_rows, job.rows);
    for (int32_t row = begin; row < end; ++row) {
        uint32_t* pixels = job.frame.pixels + ptrdiff_t(row) * job.frame.stride;
        std::fill(pixels, pixels + job.frame.width, 0u);
    }
    EdgeTables tables;
    for (const Slice& slice : rt.slices) {
        for (uint32_t k = slice.band_start[size_t(band)]; k < slice.band_start[size_t(band) + 1];
             ++k) {
            const BinnedFace& f = slice.faces[slice.entries[k]];
            const EdgeStep* edges = slice.edges.data() + f.edges;
            std::copy(edges, edges + f.left_count, tables.left_edges.begin());
            std::copy(edges + f.left_count, edges + f.left_count + f.right_count,
                      tables.right_edges.begin());
            tables.left_edge_count = f.left_count;
            tables.right_edge_count = f.right_count;
            tables.left_cursor = 0;
            tables.right_cursor = f.right_count - 1;
            fill_edge_rows(tables, job.frame, f.colour, begin, end);
        }
    }
}

// Every thread of the frame runs this; the phases are separated by the barrier.
void run_frame(RenderThreads& rt) {
    const size_t vertex_slices = rt.slices.size();
    for (size_t s; (s = rt.next_vertex_slice++) < vertex_slices;)
        transform_vertices(rt, rt.job.vertex_total * s / vertex_slices,
                           rt.job.vertex_total * (s + 1) / vertex_slices);
    rt.phase_end->arrive_and_wait();
    for (size_t s; (s = rt.next_face_slice++) < rt.slices.size();)
        set_up_slice(rt, rt.slices[s]);
    rt.phase_end->arrive_and_wait();
    for (size_t b; (b = rt.next_band++) < size_t(rt.job.bands);)
        fill_band(rt, int32_t(b));
}

void worker_main(RenderThreads* rt) {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(rt->mutex);
            rt->wake.wait(lock, [&] { return rt->quit || rt->generation != seen; });
            if (rt->quit) return;
            seen = rt->generation;
        }
        run_frame(*rt);
        std::lock_guard lock(rt->mutex);
        if (--rt->running == 0) rt->done.notify_one();
    }
}

// Poses, offsets and buffers for this frame, on the calling thread. False when memory runs out.
bool prepare_frame(RenderThreads& rt, std::span<const MeshObject> meshes,
                   const Matrix4& camera_matrix) {
    try {
        rt.poses.resize(meshes.size());
        rt.vertex_offset.resize(meshes.size() + 1);
        rt.face_offset.resize(meshes.size() + 1);
        rt.vertex_offset[0] = rt.face_offset[0] = 0;
        for (size_t m = 0; m < meshes.size(); ++m) {
            const MeshObject& mesh = meshes[m];
            const size_t faces = drawn_face_count(mesh);
            rt.poses[m] = mesh_pose(mesh.matrix, camera_matrix);
            // A mesh with nothing to draw needs no vertices either.
            rt.vertex_offset[m + 1] = rt.vertex_offset[m] + (faces ? mesh.vertices.size() : 0);
            rt.face_offset[m + 1] = rt.face_offset[m] + faces;
        }
        if (rt.cache.size() < rt.vertex_offset.back()) rt.cache.resize(rt.vertex_offset.back());
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t faces = rt.face_offset.back();
    const size_t slices = rt.slices.size();
    for (size_t s = 0; s < slices; ++s) {
        rt.slices[s].face_begin = faces * s / slices;
        rt.slices[s].face_end = faces * (s + 1) / slices;
    }
    rt.job.vertex_total = rt.vertex_offset.back();
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
        rt->phase_end = std::make_unique<std::barrier<>>(count);
        rt->slices.resize(count == 1 ? 1 : size_t(count) * kSlicesPerThread);
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
    {
        std::lock_guard lock(rt->mutex);
        rt->quit = true;
    }
    rt->wake.notify_all();
    for (std::thread& t : rt->workers)
        t.join();
    delete rt;
}

int32_t render_thread_count(const RenderThreads& rt) {
    return rt.count;
}

bool render_frame_threaded(RenderThreads& rt, std::span<const MeshObject> meshes,
                           const Matrix4& camera_matrix, const Frame& frame, uint32_t colour) {
    FrameJob& job = rt.job;
    job.meshes = meshes;
    job.frame = frame;
    job.colour = colour;
    job.rows = frame_is_drawable(frame) ? frame.height : 0;
    job.band_rows = render_band_rows(job.rows, rt.count);
    job.bands = (job.rows + job.band_rows - 1) / job.band_rows;
    if (!prepare_frame(rt, meshes, camera_matrix)) return false;
    rt.next_vertex_slice = 0;
    rt.next_face_slice = 0;
    rt.next_band = 0;
    rt.failed = false;
    {
        std::lock_guard lock(rt.mutex);
        rt.running = rt.count - 1;
        ++rt.generation;
    }
    rt.wake.notify_all();
    run_frame(rt);
    std::unique_lock lock(rt.mutex);
    rt.done.wait(lock, [&] { return rt.running == 0; });
    return !rt.failed;
}
