// The byte layout of every record of a Corvane Model file, written down once.
//
// Each Describe* function walks one record's fields in file order and hands each one to a
// visitor. The reader (reader/), the record writers and the encoder (record_writer.h), the
// sizes and field offsets (record_sizes.h) and the JSON form (tools/cvmdump) are such
// visitors, so none of them spells out a field of its own and they cannot drift apart. The
// record is a template parameter as well: the structs of records.h (const for the writers),
// or a view that a section writer builds over its own data, with the struct's member names
// and sequences that offer size() and operator[] (the mesh section's: a mesh record is never
// held whole in memory).
//
// A visitor offers these operations. Each takes the field's names (Field) and returns the
// offset of the field's first byte where the visitor knows it (the reader, the sizes), else 0.
//   U16, U32, F32(f, value)          a number of the format's field types
//   Vec3(f, v), Color(f, c)          three f32, three u16: one field of 12 and 6 bytes
//   String(f, text)                  the text's bytes and one 0 byte
//   Flag(f, width, b)                0 or 1 in a field of 1, 2 or 4 bytes
//   Count(f, width, n)               a u16 or u32 count of entries the struct holds as a list
//   Array<E>(f, seq, extent)         extent.count entries of the fixed-size element kind E
//   Records(f, seq, extent, d)       extent.count records, d(visitor, entry, index) each
//   Record(f, rec, d)                one record inside this one, d(visitor, rec)
//   Optional(f, width, opt, d)       a 0/1 flag, and when it is 1 the value, d(visitor, *opt)
//   Block(f, width, present, d)      a 0/1 flag, and when it is 1 the fields d(visitor)
//   Context(label)                   names the part of the file that follows, for messages
//   Check(rule)                      a rule of the format, rule(state) -> bool (below)
//   Landmark(l)                      a point where a writer may report progress
// Only the reader runs the rules. A rule gets the reader's state s and returns
// s.Fail(offset, message) (which is false) when the rule is broken, true otherwise; s also
// offers Size() (the file's size), Remaining() (bytes after the field just read) and
// CheckCount(at, count, elementSize, what) (the count stored at `at` leaves room for that many
// elements of at least elementSize bytes each).
//
// Nothing in a file is padded or aligned, flags are 0 or 1 and optional parts sit behind
// their flags: a file has exactly one encoding, so the reader accepts a byte sequence only
// when the encoder gives it back unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

#include "format/byte_order.h"
#include "format/records.h"

namespace cvm::format {

// A field's names. key names it in the JSON form and in field paths ("meshes[0].cornerCount");
// an empty key makes the field the value of what encloses it (the text of an optional user
// text). label names it in messages ("corner count"). aux names the second field some
// operations stand for: the flag of an Optional (by default key + "Flag", label + " flag"),
// and for a Block, whose own names are its flag's, the key that the JSON form shows as null
// when the block is absent.
struct Field {
  const char* key;
  const char* label;
  const char* auxKey = nullptr;
  const char* auxLabel = nullptr;
};

// How many entries a list holds and where that number comes from. A count just read from a
// Count field is checked against the bytes that remain before anything is sized by it; a
// count that an earlier part of the file fixed (the corner count for the index lists, the
// header's counts for the sections) is not checked again.
struct Extent {
  uint32_t count = 0;
  size_t countAt = 0;  // offset of the Count field
  bool fromCountField = false;
};
inline Extent Counted(uint32_t count, size_t countAt) {
  return {count, countAt, true};
}
inline Extent Given(uint32_t count) {
  return {count, 0, false};
}

template <typename Seq>
uint32_t SizeOf(const Seq& seq) {
  return static_cast<uint32_t>(seq.size());
}

// Points of a record where a writer may report what it writes next.
enum class Landmark { kMeshVertices, kMeshUvs, kMeshNormals, kMeshColors, kMeshFaces };

// Element kinds of Array: the bytes of one entry.
struct U32Element {
  using Value = uint32_t;
  static constexpr size_t kSize = 4;
  static Value Load(const uint8_t* p) { return LoadU32(p); }
  static uint8_t* Store(uint8_t* out, const Value& value) { return StoreU32(out, value); }
};
struct Vec3Element {
  using Value = Vec3;
  static constexpr size_t kSize = 12;
  static Value Load(const uint8_t* p) { return {LoadF32(p), LoadF32(p + 4), LoadF32(p + 8)}; }
  static uint8_t* Store(uint8_t* out, const Value& v) {
    return StoreF32(StoreF32(StoreF32(out, v.x), v.y), v.z);
  }
};
struct Vec2Element {
  using Value = Vec2;
  static constexpr size_t kSize = 8;
  static Value Load(const uint8_t* p) { return {LoadF32(p), LoadF32(p + 4)}; }
  static uint8_t* Store(uint8_t* out, const Value& v) { return StoreF32(StoreF32(out, v.u), v.v); }
};
struct ColorElement {
  using Value = Color16;
  static constexpr size_t kSize = 6;
  static Value Load(const uint8_t* p) { return {LoadU16(p), LoadU16(p + 2), LoadU16(p + 4)}; }
  static uint8_t* Store(uint8_t* out, const Value& c) {
    return StoreU16(StoreU16(StoreU16(out, c.r), c.g), c.b);
  }
};
struct NormalElement {
  using Value = EncodedNormal;
  static constexpr size_t kSize = 2;
  static Value Load(const uint8_t* p) { return {p[0], p[1]}; }
  static uint8_t* Store(uint8_t* out, const Value& n) {
    out[0] = n.polar;
    out[1] = n.azimuth;
    return out + 2;
  }
};
struct TriangleElement {
  using Value = Triangle;
  static constexpr size_t kSize = 12;
  static Value Load(const uint8_t* p) { return {LoadU32(p), LoadU32(p + 4), LoadU32(p + 8)}; }
  static uint8_t* Store(uint8_t* out, const Value& t) {
    return StoreU32(StoreU32(StoreU32(out, t[0]), t[1]), t[2]);
  }
};

// The operations of the layout that only the reader acts on, for the visitors that do not:
// the part names of messages, the rules, the landmarks.
struct IgnoresRules {
  void Context(const char*) {}
  template <typename Rule>
  void Check(const Rule&) {}
  void Landmark(Landmark) {}
};

// A field's path as the JSON form and FieldOffsets name it: keys joined by dots, the entries of
// lists by their index ("meshes[0].groups[1].faces").
class FieldPath {
 public:
  // The path of key inside the current one; an empty key is the current one itself.
  std::string Of(const char* key) const {
    if (key == nullptr || *key == '\0') return path_;
    return path_.empty() ? std::string(key) : path_ + "." + key;
  }
  const std::string& Current() const { return path_; }

  // Steps into key, and into entry `index` of it when given, until the scope ends.
  class Scope {
   public:
    Scope(FieldPath& path, const char* key, std::optional<size_t> index) : path_(path), saved_(path.path_) {
      path.path_ = path.Of(key);
      if (index) path.path_ += "[" + std::to_string(*index) + "]";
    }
    ~Scope() { path_.path_ = std::move(saved_); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    FieldPath& path_;
    std::string saved_;
  };

 private:
  std::string path_;
};

// The smallest encoding of a record of type R (record_sizes.h): every list empty, every string
// empty, every optional part absent.
template <typename R>
uint64_t MinimumSize();

// ---- Rules shared by several records ----------------------------------------------------

// Every corner index stored at indicesAt must address one of valueCount values.
template <typename State, typename Indices>
bool CheckIndices(State& s, size_t indicesAt, const Indices& indices, size_t valueCount, const char* what,
                  const char* values) {
  for (size_t i = 0; i < indices.size(); ++i) {
    if (indices[i] >= valueCount) {
      return s.Fail(indicesAt + 4 * i, std::string(what) + " " + std::to_string(indices[i]) +
                                           " out of range (" + std::to_string(valueCount) + " " + values +
                                           ")");
    }
  }
  return true;
}

// A record's own index field must equal its position in its section.
template <typename V>
void CheckRecordIndex(V& v, size_t indexAt, const uint32_t& index, size_t position) {
  v.Check([&index, indexAt, position](auto& s) {
    return index == position ||
           s.Fail(indexAt, "index " + std::to_string(index) + " differs from the record's position " +
                               std::to_string(position));
  });
}

// A u32 count field followed by that many fixed-size entries.
template <typename E, typename V, typename Seq>
size_t CountedArray(V& v, const Field& count, const Field& entries, Seq& seq) {
  uint32_t n = SizeOf(seq);
  const size_t at = v.Count(count, 4, n);
  v.template Array<E>(entries, seq, Counted(n, at));
  return at;
}

// ---- Header and material section ---------------------------------------------------------

// The 20-byte header. Each record count is checked, together with the counts before it and
// the material section's two counts, against the bytes after the header, so that the error
// names the first count whose records cannot fit.
template <typename V, typename H>
void DescribeHeader(V& v, H& h) {
  v.F32({"scale", "scale"}, h.scale);
  uint64_t needed = 8;  // the material section's counts
  // The record type comes as the type of a null pointer, so that only the reader, which runs
  // the rule, needs the record sizes.
  const auto count = [&v, &needed](const Field& f, auto& value, auto* record) {
    using Record = std::remove_pointer_t<decltype(record)>;
    const size_t at = v.U32(f, value);
    v.Check([&needed, &value, f, at](auto& s) {
      needed += uint64_t{value} * MinimumSize<Record>();
      const uint64_t available = s.Size() - 20;
      if (value == 0 || needed <= available) return true;
      return s.Fail(at, std::string(f.label) + " " + std::to_string(value) + ": the records need at least " +
                            std::to_string(needed) + " bytes after the header, " + std::to_string(available) +
                            " remain");
    });
  };
  count({"meshCount", "mesh count"}, h.meshCount, static_cast<CvmMesh*>(nullptr));
  count({"lightCount", "light count"}, h.lightCount, static_cast<CvmLight*>(nullptr));
  count({"helperCount", "helper count"}, h.helperCount, static_cast<CvmHelper*>(nullptr));
  count({"splineCount", "spline count"}, h.splineCount, static_cast<CvmSplineObject*>(nullptr));
}

// The material and texture counts that open the material section.
template <typename V, typename C>
void DescribeMaterialSectionCounts(V& v, C& counts) {
  const size_t materialAt = v.Count({"materialCount", "material count"}, 4, counts.materialCount);
  const size_t textureAt = v.Count({"textureCount", "texture count"}, 4, counts.textureCount);
  v.Check([&counts, materialAt, textureAt](auto& s) {
    const uint64_t textureBytes = uint64_t{counts.textureCount} * MinimumSize<CvmTexture>();
    const uint64_t materialBytes = uint64_t{counts.materialCount} * MinimumSize<CvmMaterial>();
    if (!s.CheckCount(textureAt, counts.textureCount, MinimumSize<CvmTexture>(), "texture") ||
        !s.CheckCount(materialAt, counts.materialCount, MinimumSize<CvmMaterial>(), "material"))
      return false;
    if (textureBytes + materialBytes <= s.Remaining()) return true;
    return s.Fail(materialAt, "material count " + std::to_string(counts.materialCount) +
                                  " and texture count " + std::to_string(counts.textureCount) +
                                  ": the records cannot fit in the " + std::to_string(s.Remaining()) +
                                  " bytes that remain");
  });
}

// A texture record at its position in the texture table.
template <typename V, typename T>
void DescribeTexture(V& v, T& t, size_t position) {
  const size_t nameAt = v.String({"name", "name"}, t.name);
  // Only textures that have a file name are listed.
  v.Check([&t, nameAt](auto& s) { return !t.name.empty() || s.Fail(nameAt, "empty name"); });
  CheckRecordIndex(v, v.U32({"index", "index"}, t.index), t.index, position);
}

template <typename V, typename A>
void DescribeUvAnimation(V& v, A& a) {
  v.F32({"u", "U/V"}, a.u);
  v.F32({"v", "U/V"}, a.v);
}

template <typename V, typename A>
void DescribeFrameAnimation(V& v, A& a) {
  v.U16({"hf", "HF/VF"}, a.hf);
  v.U16({"vf", "HF/VF"}, a.vf);
  v.F32({"time", "HF/VF"}, a.time);
}

// The engine settings block, 40 to 78 bytes.
template <typename V, typename E>
void DescribeEngineSettings(V& v, E& e) {
  v.U32({"collideable", "collideable"}, e.collideable);
  v.U32({"visible", "visible"}, e.visible);
  v.U32({"dataId", "data id"}, e.dataId);
  v.Optional({"colorKey", "colour key"}, 4, e.colorKey, [](auto& ov, auto& key) {
    ov.Color({"", "colour key"}, key);
  });
  const auto uv = [](auto& ov, auto& a) { DescribeUvAnimation(ov, a); };
  const auto frames = [](auto& ov, auto& a) { DescribeFrameAnimation(ov, a); };
  v.Optional({"uv1", "U/V 1"}, 4, e.uv1, uv);
  v.Optional({"frames1", "HF/VF 1"}, 4, e.frames1, frames);
  v.Optional({"uv2", "U/V 2"}, 4, e.uv2, uv);
  v.Optional({"frames2", "HF/VF 2"}, 4, e.frames2, frames);
  v.U32({"renderLast", "render last"}, e.renderLast);
  v.U32({"renderFirst", "render first"}, e.renderFirst);
}

// A material record at its position in the material list, referring to textureCount textures.
template <typename V, typename M>
void DescribeMaterial(V& v, M& m, size_t position, uint32_t textureCount) {
  v.String({"name", "name"}, m.name);
  CheckRecordIndex(v, v.U32({"index", "index"}, m.index), m.index, position);
  v.Flag({"twoSided", "two-sided flag"}, 4, m.twoSided);
  v.Record({"engine", "engine settings"}, m.engine, [](auto& ev, auto& e) { DescribeEngineSettings(ev, e); });
  v.Color({"diffuse", "diffuse colour"}, m.diffuse);
  v.Color({"ambient", "ambient colour"}, m.ambient);
  v.Color({"specular", "specular colour"}, m.specular);
  v.Color({"selfIllum", "self-illumination colour"}, m.selfIllum);
  v.F32({"shininess", "shininess"}, m.shininess);
  v.F32({"shininessStrength", "shininess strength"}, m.shininessStrength);
  const size_t refsAt = v.template Array<U32Element>({"textureRefs", "texture reference"}, m.textureRefs,
                                                     Given(static_cast<uint32_t>(kTextureRefSlots.size())));
  v.Check([&m, refsAt, textureCount](auto& s) {
    for (size_t slot = 0; slot < m.textureRefs.size(); ++slot) {
      const uint32_t ref = m.textureRefs[slot];
      if (ref != kNoTexture && ref >= textureCount) {
        return s.Fail(refsAt + 4 * slot, "texture reference " + std::to_string(slot) + " (slot " +
                                             std::to_string(kTextureRefSlots[slot]) + ") is " +
                                             std::to_string(ref) + ", out of range (" +
                                             std::to_string(textureCount) + " textures)");
      }
    }
    return true;
  });
}

// ---- Meshes --------------------------------------------------------------------------------

// A mesh record whose face groups refer to materialCount materials. Corner indices come before
// the value count they refer to, so they are checked once the values are read.
template <typename V, typename M>
void DescribeMesh(V& v, M& m, uint64_t materialCount) {
  v.Vec3({"pivot", "pivot"}, m.pivot);

  v.Landmark(Landmark::kMeshVertices);
  const size_t cornerAt = v.U32({"cornerCount", "corner count"}, m.cornerCount);
  v.Check([&m, cornerAt](auto& s) { return s.CheckCount(cornerAt, m.cornerCount, 4, "corner"); });
  const size_t positionIndicesAt = v.template Array<U32Element>({"positionIndices", "position indices"},
                                                                m.positionIndices, Given(m.cornerCount));
  CountedArray<Vec3Element>(v, {"positionCount", "position count"}, {"positions", "position"}, m.positions);
  v.Check([&m, positionIndicesAt](auto& s) {
    return CheckIndices(s, positionIndicesAt, m.positionIndices, m.positions.size(), "position index",
                        "positions");
  });

  v.Landmark(Landmark::kMeshUvs);
  v.Block({"uvFlag", "texture-coordinate flag", "uvs"}, 2, m.hasUvs, [&m](auto& bv) {
    const size_t indicesAt = bv.template Array<U32Element>({"uvIndices", "texture-coordinate indices"},
                                                           m.uvIndices, Given(m.cornerCount));
    CountedArray<Vec2Element>(bv, {"uvCount", "texture-coordinate count"}, {"uvs", "texture-coordinate"},
                              m.uvs);
    bv.Check([&m, indicesAt](auto& s) {
      return CheckIndices(s, indicesAt, m.uvIndices, m.uvs.size(), "texture-coordinate index",
                          "texture coordinates");
    });
  });

  v.Landmark(Landmark::kMeshNormals);
  v.Block({"normalFlag", "normal flag", "normals"}, 2, m.hasNormals, [&m](auto& bv) {
    const size_t indicesAt = bv.template Array<U32Element>({"normalIndices", "normal indices"},
                                                           m.normalIndices, Given(m.cornerCount));
    CountedArray<NormalElement>(bv, {"normalCount", "normal count"}, {"normals", "normal"}, m.normals);
    bv.Check([&m, indicesAt](auto& s) {
      return CheckIndices(s, indicesAt, m.normalIndices, m.normals.size(), "normal index", "normals");
    });
  });

  // Colours are per corner or absent; no other count is meaningful.
  v.Landmark(Landmark::kMeshColors);
  uint32_t colorCount = SizeOf(m.colors);
  const size_t colorAt = v.Count({"colorCount", "colour count"}, 4, colorCount);
  v.Check([&m, &colorCount, colorAt](auto& s) {
    return colorCount == 0 || colorCount == m.cornerCount ||
           s.Fail(colorAt, "colour count " + std::to_string(colorCount) +
                               " is neither 0 nor the corner count " + std::to_string(m.cornerCount));
  });
  v.template Array<ColorElement>({"colors", "colour"}, m.colors, Counted(colorCount, colorAt));

  v.Landmark(Landmark::kMeshFaces);
  const size_t faceAt = v.U32({"faceCount", "face count"}, m.faceCount);
  v.Check([&m, faceAt](auto& s) {
    return uint64_t{m.faceCount} * 3 == m.cornerCount ||
           s.Fail(faceAt, "face count " + std::to_string(m.faceCount) + " does not match the corner count " +
                              std::to_string(m.cornerCount) + " (3 corners per face)");
  });
  uint32_t groupCount = SizeOf(m.groups);
  const size_t groupAt = v.Count({"groupCount", "group count"}, 4, groupCount);
  uint64_t facesSoFar = 0;
  v.Records(
      {"groups", "group"}, m.groups, Counted(groupCount, groupAt),
      [&m, &facesSoFar, materialCount](auto& gv, auto& g, size_t) {
        const size_t materialAt = gv.U16({"materialIndex", "material index"}, g.materialIndex);
        gv.Check([&g, materialAt, materialCount](auto& s) {
          return g.materialIndex == kNoMaterial || g.materialIndex < materialCount ||
                 s.Fail(materialAt, "material index " + std::to_string(g.materialIndex) + " out of range (" +
                                        std::to_string(materialCount) + " materials)");
        });
        uint32_t faces = SizeOf(g.faces);
        const size_t facesCountAt = gv.Count({"faceCount", "face count"}, 4, faces);
        gv.Check([&m, &facesSoFar, &faces, facesCountAt](auto& s) {
          facesSoFar += faces;
          return facesSoFar <= m.faceCount ||
                 s.Fail(facesCountAt, "face count " + std::to_string(faces) + " brings the groups to " +
                                          std::to_string(facesSoFar) + " faces, more than the mesh's " +
                                          std::to_string(m.faceCount));
        });
        const size_t facesAt =
            gv.template Array<TriangleElement>({"faces", "face"}, g.faces, Counted(faces, facesCountAt));
        gv.Check([&m, &g, facesAt](auto& s) {
          for (size_t f = 0; f < g.faces.size(); ++f) {
            for (size_t k = 0; k < 3; ++k) {
              if (g.faces[f][k] < m.cornerCount) continue;
              return s.Fail(facesAt + 12 * f + 4 * k, "face " + std::to_string(f) + ": corner " +
                                                          std::to_string(g.faces[f][k]) + " out of range (" +
                                                          std::to_string(m.cornerCount) + " corners)");
            }
          }
          return true;
        });
      });
  v.Check([&m, &facesSoFar, groupAt](auto& s) {
    return facesSoFar == m.faceCount ||
           s.Fail(groupAt, "the groups hold " + std::to_string(facesSoFar) + " faces, the mesh has " +
                               std::to_string(m.faceCount));
  });
}

// ---- Lights, helpers and splines -----------------------------------------------------------

// The node's user text that ends every light, helper and spline record: u16 0 alone when the
// node has none, else u16 1 and the text.
template <typename V, typename T>
void DescribeUserText(V& v, T& text) {
  v.Optional({"userText", "user text", "userTextFlag", "user-text flag"}, 2, text, [](auto& ov, auto& t) {
    const size_t at = ov.String({"", "user text"}, t);
    // An empty text is written as no text.
    ov.Check(
        [&t, at](auto& s) { return !t.empty() || s.Fail(at, "user-text flag is 1 but the text is empty"); });
  });
}

template <typename V, typename L>
void DescribeLight(V& v, L& l) {
  v.String({"name", "name"}, l.name);
  const size_t typeAt = v.U16({"typeCode", "type code"}, l.typeCode);
  v.Check([&l, typeAt](auto& s) {
    return l.typeCode <= 4 || s.Fail(typeAt, "type code " + std::to_string(l.typeCode) + " is not 0 to 4");
  });
  v.Vec3({"position", "position"}, l.position);
  v.Vec3({"axisX", "X axis"}, l.axisX);
  v.Vec3({"axisY", "Y axis"}, l.axisY);
  v.Vec3({"axisZNegated", "negated Z axis"}, l.axisZNegated);
  v.Vec3({"color", "colour"}, l.color);
  v.F32({"intensity", "intensity"}, l.intensity);
  DescribeUserText(v, l.userText);
}

template <typename V, typename H>
void DescribeHelper(V& v, H& h) {
  v.String({"name", "name"}, h.name);
  v.Vec3({"position", "position"}, h.position);
  v.Vec3({"axisX", "X axis"}, h.axisX);
  v.Vec3({"axisZ", "Z axis"}, h.axisZ);
  v.Vec3({"axisY", "Y axis"}, h.axisY);
  DescribeUserText(v, h.userText);
}

// A spline record: the node's name and position, its splines (each a u16 knot count, the
// closed byte and the knots) and its user text.
template <typename V, typename S>
void DescribeSplineObject(V& v, S& s) {
  v.String({"name", "name"}, s.name);
  v.Vec3({"position", "position"}, s.position);
  uint32_t splineCount = SizeOf(s.splines);
  const size_t countAt = v.Count({"splineCount", "spline count"}, 2, splineCount);
  v.Records(
      {"splines", "spline"}, s.splines, Counted(splineCount, countAt), [](auto& sv, auto& spline, size_t) {
        uint32_t knotCount = SizeOf(spline.knots);
        const size_t knotCountAt = sv.Count({"knotCount", "knot count"}, 2, knotCount);
        sv.Flag({"closed", "closed flag"}, 1, spline.closed);
        sv.template Array<Vec3Element>({"knots", "knot"}, spline.knots, Counted(knotCount, knotCountAt));
      });
  DescribeUserText(v, s.userText);
}

// ---- The whole file ------------------------------------------------------------------------

template <typename V, typename F>
void DescribeFile(V& v, F& file) {
  v.Record({"header", "header"}, file.header, [](auto& hv, auto& h) { DescribeHeader(hv, h); });
  v.Context("material section");
  MaterialSectionCounts counts{SizeOf(file.materials), SizeOf(file.textures)};
  DescribeMaterialSectionCounts(v, counts);
  v.Records({"textures", "texture"}, file.textures, Given(counts.textureCount),
            [](auto& tv, auto& t, size_t i) { DescribeTexture(tv, t, i); });
  v.Records({"materials", "material"}, file.materials, Given(counts.materialCount),
            [&counts](auto& mv, auto& m, size_t i) { DescribeMaterial(mv, m, i, counts.textureCount); });
  v.Records({"meshes", "mesh"}, file.meshes, Given(file.header.meshCount),
            [&counts](auto& mv, auto& m, size_t) { DescribeMesh(mv, m, counts.materialCount); });
  v.Records({"lights", "light"}, file.lights, Given(file.header.lightCount),
            [](auto& lv, auto& l, size_t) { DescribeLight(lv, l); });
  v.Records({"helpers", "helper"}, file.helpers, Given(file.header.helperCount),
            [](auto& hv, auto& h, size_t) { DescribeHelper(hv, h); });
  v.Records({"splines", "spline record"}, file.splines, Given(file.header.splineCount),
            [](auto& sv, auto& s, size_t) { DescribeSplineObject(sv, s); });
  v.Context("");
  v.Check([](auto& s) {
    return s.Remaining() == 0 ||
           s.Fail(s.Size() - s.Remaining(),
                  std::to_string(s.Remaining()) + " bytes after the last record; the file must end there");
  });
}

// One record of each type on its own, for the visitors that take a single record (the record
// writers, the sizes). The index fields and references are not checked here.
template <typename V, typename R>
void DescribeRecord(V& v, R& r) {
  using T = std::remove_const_t<R>;
  if constexpr (std::is_same_v<T, CvmHeader>) {
    DescribeHeader(v, r);
  } else if constexpr (std::is_same_v<T, MaterialSectionCounts>) {
    DescribeMaterialSectionCounts(v, r);
  } else if constexpr (std::is_same_v<T, CvmTexture>) {
    DescribeTexture(v, r, r.index);
  } else if constexpr (std::is_same_v<T, CvmEngineSettings>) {
    DescribeEngineSettings(v, r);
  } else if constexpr (std::is_same_v<T, CvmMaterial>) {
    DescribeMaterial(v, r, r.index, 0);
  } else if constexpr (std::is_same_v<T, CvmMesh>) {
    DescribeMesh(v, r, 0);
  } else if constexpr (std::is_same_v<T, CvmLight>) {
    DescribeLight(v, r);
  } else if constexpr (std::is_same_v<T, CvmHelper>) {
    DescribeHelper(v, r);
  } else if constexpr (std::is_same_v<T, CvmSplineObject>) {
    DescribeSplineObject(v, r);
  } else {
    static_assert(std::is_same_v<T, CvmFile>, "not a record of the format");
    DescribeFile(v, r);
  }
}

}  // namespace cvm::format
