#include "print/tape_pdf.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "reader/reader_state.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

constexpr const char* kFontPaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/TTF/DejaVuSansMono.ttf",
    "/usr/share/fonts/dejavu/DejaVuSansMono.ttf",
    "/usr/local/share/fonts/DejaVuSansMono.ttf",
};

bool readable_file(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

// The font face, loaded once by file so the very font is embedded whatever
// fontconfig would pick. Lives until the process ends.
struct TapeFont {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  cairo_font_face_t* cairo_face = nullptr;
  // The glyph of every Windows-1251 byte and of the wrap mark: the tape is
  // drawn as positioned glyphs, a column at a time, never shaped as text.
  std::array<unsigned long, 256> glyph_of{};
  unsigned long wrap_glyph = 0;
  std::string error;  // UTF-8, when the font could not be had
};

const TapeFont& tape_font() {
  static const TapeFont font = [] {
    TapeFont f;
    const std::string path = find_tape_font();
    if (path.empty()) {
      f.error = "не найден шрифт DejaVu Sans Mono (пакет fonts-dejavu-core)";
      return f;
    }
    if (FT_Init_FreeType(&f.library) != 0 || FT_New_Face(f.library, path.c_str(), 0, &f.face) != 0) {
      f.error = "не удалось загрузить шрифт " + path;
      return f;
    }
    f.cairo_face = cairo_ft_font_face_create_for_ft_face(f.face, 0);
    for (int byte = 0; byte < 256; ++byte) {
      f.glyph_of[static_cast<std::size_t>(byte)] =
          FT_Get_Char_Index(f.face, Cp1251CodePoint(static_cast<unsigned char>(byte)));
    }
    f.wrap_glyph = FT_Get_Char_Index(f.face, 0x21AA);  // "↪"
    return f;
  }();
  return font;
}

// Literals of the page, converted once.
struct PageTexts {
  std::string zn = Utf8ToCp1251("ЗН ");
  std::string fn = Utf8ToCp1251("   ФН ");
  std::string page = "стр. ";
  std::string of = " из ";
  std::string nothing = "Нет документов для показа: список пуст.";
};
const PageTexts& texts() {
  static const PageTexts t;
  return t;
}

std::string number_text(std::size_t n) {
  std::array<char, 24> buf{};
  const int len = std::snprintf(buf.data(), buf.size(), "%zu", n);
  return std::string(buf.data(), static_cast<std::size_t>(len));
}

void show(cairo_t* cr, double x, double y, const std::string& utf8) {
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, utf8.c_str());
}

double text_width(cairo_t* cr, const std::string& utf8) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, utf8.c_str(), &e);
  return e.x_advance;
}

// Draws one page in points; the caller owns the surface and its scale.
void draw_page(cairo_t* cr, const Listing& listing, const TapeLayout& layout, const TapeHeading& heading,
               std::size_t page_index) {
  const PageGeometry& g = layout.geometry;
  const PageTexts& t = texts();
  cairo_set_font_face(cr, tape_font().cairo_face);
  cairo_set_source_rgb(cr, 0, 0, 0);

  // Heading: the register on the left, the range on the right, a thin rule.
  const double heading_size = 8.0;
  cairo_set_font_size(cr, heading_size);
  const double heading_base = g.margin + heading_size;
  std::string left = t.zn + heading.zn + t.fn + heading.fn;
  show(cr, g.margin, heading_base, Cp1251ToUtf8(left));
  const std::string range = Cp1251ToUtf8(heading.range);
  show(cr, g.page_width - g.margin - text_width(cr, range), heading_base, range);
  cairo_set_line_width(cr, 0.5);
  cairo_move_to(cr, g.margin, heading_base + 5);
  cairo_line_to(cr, g.page_width - g.margin, heading_base + 5);
  cairo_stroke(cr);

  // Footer: the page number, centred; drawn last so text extraction reads
  // the page from top to bottom.
  const std::string footer = t.page + number_text(page_index + 1) + t.of + number_text(layout.page_count());
  const auto draw_footer = [&] {
    cairo_set_font_size(cr, heading_size);
    show(cr, (g.page_width - text_width(cr, footer)) / 2, g.page_height - g.margin, footer);
  };

  if (layout.empty) {
    cairo_set_font_size(cr, 12.0);
    show(cr, (g.page_width - text_width(cr, t.nothing)) / 2, g.page_height / 3, t.nothing);
    draw_footer();
    return;
  }

  const TapeFont& font = tape_font();
  const TapePage& page = layout.pages[page_index];
  // The columns of this page: as wide as its longest line.
  const PageGeometry& pg = page.geometry;
  const auto width = static_cast<std::size_t>(pg.line_width);
  cairo_set_font_size(cr, pg.font_size);
  const double cw = pg.char_width();
  std::vector<cairo_glyph_t> glyphs;
  glyphs.reserve(static_cast<std::size_t>(pg.rows_per_column) * width);
  for (std::size_t c = 0; c < page.columns.size(); ++c) {
    const ColumnSpan& span = page.columns[c];
    const double x = pg.column_left(static_cast<int>(c));
    // Baseline of the first row: one ascent below the body's top.
    double y = pg.body_top() + pg.font_size * 0.95;
    std::size_t line = span.first_line;
    std::uint32_t row = span.first_row;
    glyphs.clear();
    for (std::uint32_t n = 0; n < span.row_count; ++n) {
      const std::string& text = listing[line];
      const std::uint32_t rows = rows_of(text, pg.line_width);
      // A wrapped line's further rows carry the mark in the gutter.
      if (row > 0) glyphs.push_back({font.wrap_glyph, x - cw, y});
      // The row from its first to its last visible character, spaces
      // included: an unbroken run costs the file no positions.
      std::size_t from = static_cast<std::size_t>(row) * width;
      const std::size_t begin = from;
      std::size_t to = std::min(text.size(), from + width);
      while (from < to && text[from] == ' ') ++from;
      while (to > from && text[to - 1] == ' ') --to;
      for (std::size_t i = from; i < to; ++i) {
        glyphs.push_back({font.glyph_of[static_cast<unsigned char>(text[i])], x + static_cast<double>(i - begin) * cw, y});
      }
      y += pg.row_height();
      if (++row == rows) {
        row = 0;
        ++line;
      }
    }
    cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
  }
  draw_footer();
}

// Where the PDF bytes go: a file descriptor, remembering the first failure.
struct Sink {
  int fd = -1;
  int error = 0;
  std::uint64_t bytes = 0;
};

cairo_status_t write_to_sink(void* closure, const unsigned char* data, unsigned int length) {
  auto* sink = static_cast<Sink*>(closure);
  while (length > 0) {
    const ssize_t n = ::write(sink->fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      sink->error = errno;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    data += n;
    length -= static_cast<unsigned int>(n);
    sink->bytes += static_cast<std::uint64_t>(n);
  }
  return CAIRO_STATUS_SUCCESS;
}

std::string system_message(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

}  // namespace

TapeHeading heading_for(const rq& model, int type_choice, std::int32_t first, std::int32_t last) {
  TapeHeading h;
  if (!model.dats.empty()) {
    h.zn = model.dats.begin()->second.ZN;
    h.fn = model.dats.begin()->second.FN;
  }
  std::string range = type_choice_text(type_choice);
  if (!range.empty()) range += ' ';
  range.append(Utf8ToCp1251("№ ")).append(std::to_string(first));
  if (last != first) range.append(1, '-').append(std::to_string(last));
  h.range = std::move(range);
  return h;
}

std::string find_tape_font() {
  for (const char* path : kFontPaths) {
    if (readable_file(path)) return path;
  }
  // Elsewhere the font's place is fontconfig's to tell.
  std::string found;
  if (std::FILE* p = ::popen("fc-match -f '%{file}' 'DejaVu Sans Mono:style=Book' 2>/dev/null", "r")) {
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) found.append(buf, n);
    ::pclose(p);
  }
  if (found.find("DejaVuSansMono") == std::string::npos || !readable_file(found)) return {};
  return found;
}

PdfResult write_tape_pdf(const Listing& listing, const TapeLayout& layout, const TapeHeading& heading,
                         const std::string& path, const PageProgress& progress) {
  PdfResult result;
  const TapeFont& font = tape_font();
  if (!font.error.empty()) {
    result.error = "Не удалось создать PDF: " + font.error;
    return result;
  }
  std::string temp = path + ".XXXXXX";
  Sink sink;
  sink.fd = ::mkstemp(temp.data());
  if (sink.fd < 0) {
    result.error = system_message("Не удалось создать файл", path, errno);
    return result;
  }
  ::fchmod(sink.fd, 0644);

  const PageGeometry& g = layout.geometry;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(write_to_sink, &sink, g.page_width, g.page_height);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Tallyglass");
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                 Cp1251ToUtf8(texts().zn + heading.zn + " " + heading.range).c_str());
  cairo_t* cr = cairo_create(surface);
  const std::size_t total = layout.page_count();
  for (std::size_t p = 0; p < total && sink.error == 0; ++p) {
    draw_page(cr, listing, layout, heading, p);
    cairo_show_page(cr);
    if (progress && !progress(p + 1, total)) {
      result.cancelled = true;
      break;
    }
  }
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);

  int err = sink.error;
  if (::close(sink.fd) != 0 && err == 0) err = errno;
  if (result.cancelled || err != 0 || status != CAIRO_STATUS_SUCCESS) {
    ::unlink(temp.c_str());
    if (!result.cancelled) {
      result.error = err != 0 ? system_message("Не удалось записать", path, err)
                              : "Не удалось записать " + path + ": " + cairo_status_to_string(status);
    }
    return result;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    err = errno;
    ::unlink(temp.c_str());
    result.error = system_message("Не удалось записать", path, err);
    return result;
  }
  result.pages = total;
  result.bytes = sink.bytes;
  return result;
}

PageImage draw_tape_page(const Listing& listing, const TapeLayout& layout, const TapeHeading& heading,
                         std::size_t page, double dpi) {
  PageImage image;
  const TapeFont& font = tape_font();
  if (!font.error.empty()) {
    image.error = font.error;
    return image;
  }
  const PageGeometry& g = layout.geometry;
  image.width = static_cast<int>(g.page_width * dpi / 72 + 0.5);
  image.height = static_cast<int>(g.page_height * dpi / 72 + 0.5);
  image.stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, image.width);
  image.pixels.assign(static_cast<std::size_t>(image.stride) * static_cast<std::size_t>(image.height), 0xff);
  cairo_surface_t* surface = cairo_image_surface_create_for_data(image.pixels.data(), CAIRO_FORMAT_ARGB32,
                                                                 image.width, image.height, image.stride);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, dpi / 72, dpi / 72);
  if (page < layout.page_count()) draw_page(cr, listing, layout, heading, page);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) image.error = cairo_status_to_string(cairo_status(cr));
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  return image;
}

}  // namespace tallyglass
