#include "glarrays.h"

#include <cstring>
#include <initializer_list>

namespace {

const unsigned char* element(const ClientArray* array, GLint index)
{
    return static_cast<const unsigned char*>(array->pointer) + (size_t)index * array_step(array);
}

// Reads `array->size` components of vertex `index` as floats; bytes stay 0..255.
void read_floats(const ClientArray* array, GLint index, float* out)
{
    const unsigned char* p = element(array, index);
    if (array->type == GL_FLOAT) {
        std::memcpy(out, p, array->size * sizeof(float));
    } else {
        for (int i = 0; i < array->size; i++)
            out[i] = p[i];
    }
}

}  // namespace

void arrays_init(ClientArrays* a)
{
    for (ClientArray* array : {&a->vertex, &a->color, &a->texcoord})
        *array = ClientArray{false, 4, GL_FLOAT, 0, nullptr, 0};
}

ClientArray* arrays_by_cap(ClientArrays* a, GLenum cap)
{
    switch (cap) {
    case GL_VERTEX_ARRAY:
        return &a->vertex;
    case GL_COLOR_ARRAY:
        return &a->color;
    case GL_TEXTURE_COORD_ARRAY:
        return &a->texcoord;
    default:
        return nullptr;
    }
}

bool array_point(ClientArray* array, GLint size, GLenum type, GLsizei stride, const void* pointer,
                 GLuint buffer)
{
    if (size < 1 || size > 4 || stride < 0 || (type != GL_FLOAT && type != GL_UNSIGNED_BYTE))
        return false;
    *array = ClientArray{array->enabled, size, type, stride, pointer, buffer};
    return true;
}

GLsizei array_step(const ClientArray* array)
{
    if (array->stride)
        return array->stride;
    return array->size * (array->type == GL_FLOAT ? 4 : 1);
}

ArraysPlace arrays_place(const ClientArrays* a)
{
    int enabled = 0, in_buffers = 0;
    for (const ClientArray* array : {&a->vertex, &a->color, &a->texcoord}) {
        enabled += array->enabled;
        in_buffers += array->enabled && array->buffer != 0;
    }
    return in_buffers == 0 ? ARRAYS_IN_MEMORY : in_buffers == enabled ? ARRAYS_IN_BUFFERS : ARRAYS_MIXED;
}

void arrays_draw_from_memory(const ClientArrays* a, GLenum mode, GLint first, GLsizei count,
                             ImmediateState* s, const MatrixState* matrices,
                             const Viewport* viewport, VertexSink* sink)
{
    if (!a->vertex.enabled || count <= 0)
        return;
    const BatchVertex saved = s->current;
    immediate_begin(s, mode);
    for (GLint i = first; i < first + count; i++) {
        if (a->color.enabled) {
            float c[4] = {0, 0, 0, 1};
            read_floats(&a->color, i, c);
            if (a->color.type == GL_FLOAT)
                immediate_color(s, c[0], c[1], c[2], a->color.size == 4 ? c[3] : 1.0f);
            else
                immediate_color_bytes(s, (unsigned char)c[0], (unsigned char)c[1], (unsigned char)c[2],
                                      a->color.size == 4 ? (unsigned char)c[3] : 255);
        }
        if (a->texcoord.enabled) {
            float t[4] = {0, 0, 0, 1};
            read_floats(&a->texcoord, i, t);
            immediate_texcoord(s, t[0], t[1]);
        }
        float p[4] = {0, 0, 0, 1};
        read_floats(&a->vertex, i, p);
        immediate_vertex(s, p[0], p[1], p[2], matrices, viewport, sink);
    }
    immediate_end(s);
    s->current = saved;
}
