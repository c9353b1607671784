#include "journal/loader.h"

#include <iterator>
#include <string>

#include "journal/values.h"

namespace tallyglass {
namespace {

// The map's subscript, with a short way for the key the loader nearly always
// asks for: the highest one, or one above it.
template <class Map>
typename Map::mapped_type& at_key(Map& map, std::int32_t key) {
  if (!map.empty()) {
    const auto last = std::prev(map.end());
    if (last->first == key) return last->second;
    if (last->first < key) return map.try_emplace(map.end(), key)->second;
  }
  return map[key];
}

dat& current_doc(rq& model) { return at_key(model.dats, model.doc_count); }

check& current_check(rq& model) {
  dat& d = current_doc(model);
  return at_key(d.checks, d.cur_check);
}

zvit& current_zvit(rq& model) {
  dat& d = current_doc(model);
  return at_key(d.zvits, d.cur_zvit);
}

// The "N" of a receipt line puts the line at the receipt's next print position.
void place_line(check& c, std::int32_t kind, std::int32_t key) {
  at_key(c.line_order, c.line_order_next) = line_ref{kind, key};
}

std::string text_field(std::string_view text) { return std::string(to_text(text)); }

void store_sale(check& c, bool cp, std::int32_t code, std::string_view text) {
  const std::int32_t key = cp ? c.cp_count : c.p_count;
  auto line = [&]() -> sale& { return cp ? at_key(c.cp_lines, key) : at_key(c.p_lines, key); };
  switch (code) {
    case 0: {
      const float v = to_number(text);
      line().N = v;
      place_line(c, cp ? kind_CP : kind_P, key);
      break;
    }
    case 1: line().C = text_field(text); break;
    case 2: line().CD = text_field(text); break;
    case 3: line().NM = text_field(text); break;
    case 4: { const float v = to_number(text); line().SM = v; break; }
    case 5: { const float v = to_number(text); line().Q = v; break; }
    case 6: { const float v = to_number(text); line().PRC = v; break; }
    case 7: line().TX = text_field(text); break;
    default: break;
  }
}

void store_up_down(check& c, bool markup, std::int32_t code, std::string_view text) {
  const std::int32_t key = markup ? c.s_count : c.d_count;
  auto line = [&]() -> sale_up_down& { return markup ? at_key(c.s_lines, key) : at_key(c.d_lines, key); };
  if (code == 4) {
    line().TX = text_field(text);
    return;
  }
  if (code < 0 || code > 7) return;
  const float v = to_number(text);
  sale_up_down& l = line();
  switch (code) {
    case 0: l.TR = v; break;
    case 1: l.TY = v; break;
    case 2: l.ST = v; break;
    case 3: l.NI = v; break;
    case 5: l.PR = v; break;
    case 6: l.SM = v; break;
    case 7:
      l.N = v;
      place_line(c, markup ? kind_S : kind_D, key);
      break;
    default: break;
  }
}

void store_pay(check& c, std::int32_t code, std::string_view text) {
  const std::int32_t key = c.m_count;
  switch (code) {
    case 0: {
      const float v = to_number(text);
      at_key(c.m_lines, key).N = v;
      place_line(c, kind_M, key);
      break;
    }
    case 1: { const float v = to_number(text); at_key(c.m_lines, key).T = v; break; }
    case 2: at_key(c.m_lines, key).NM = text_field(text); break;
    case 3: { const float v = to_number(text); at_key(c.m_lines, key).SM = v; break; }
    case 4: { const float v = to_number(text); at_key(c.m_lines, key).RM = v; break; }
    case 5: at_key(c.m_lines, key).RRN = text_field(text); break;
    default: break;
  }
}

void store_in_out(check& c, bool out, std::int32_t code, std::string_view text) {
  const std::int32_t key = out ? c.o_count : c.i_count;
  auto line = [&]() -> sale_in_out& { return out ? at_key(c.o_lines, key) : at_key(c.i_lines, key); };
  // "I" reads N and T in the locale form.
  auto number = [&](std::string_view t) { return out ? to_number(t) : to_locale_number(t); };
  switch (code) {
    case 0: {
      const float v = number(text);
      line().N = v;
      place_line(c, out ? kind_O : kind_I, key);
      break;
    }
    case 1: { const float v = number(text); line().T = v; break; }
    case 2: line().NM = text_field(text); break;
    case 3: { const float v = to_number(text); line().SM = v; break; }
    default: break;
  }
}

void store_end(rq& model, check& c, std::int32_t code, std::string_view text) {
  sale_end& e = c.end_line;
  switch (code) {
    case 4: e.TX = text_field(text); return;
    case 13: e.TS = text_field(text); return;
    case 14: e.FN = text_field(text); return;
    case 15: e.NS = to_short_integer(text); return;
    default: break;
  }
  if (code < 0 || code > 12) return;
  const float v = to_number(text);
  switch (code) {
    case 0:
      e.N = v;
      place_line(c, kind_E, c.e_count);
      break;
    case 1:
      e.NO = v;
      model.note_check_no(truncate_to_int(v));
      break;
    case 2: e.SM = v; break;
    case 3: e.SE = v; break;
    case 5: e.TXPR = v; break;
    case 6: e.TXSM = v; break;
    case 7: e.DTPR = v; break;
    case 8: e.DTSM = v; break;
    case 9: e.TXTY = v; break;
    case 10: e.TXAL = v; break;
    case 11: e.CS = v; break;
    case 12: e.VD = v; break;
    default: break;
  }
}

void store_vid_tax(vid_tax& t, std::int32_t code, std::string_view text) {
  switch (code) {
    case 0: t.TX = text_field(text); return;
    case 1: t.TS = text_field(text); return;
    default: break;
  }
  if (code < 2 || code > 11) return;
  const float v = to_number(text);
  switch (code) {
    case 2: t.TXPR = v; break;
    case 3: t.TXI = v; break;
    case 4: t.TXO = v; break;
    case 5: t.DTPR = v; break;
    case 6: t.DTI = v; break;
    case 7: t.DTO = v; break;
    case 8: t.TXTY = v; break;
    case 9: t.TXAL = v; break;
    case 10: t.SMI = v; break;
    case 11: t.SMO = v; break;
    default: break;
  }
}

void store_tx(tx& t, std::int32_t code, std::string_view text) {
  if (code == 0) {
    t.TX = text_field(text);
    return;
  }
  if (code < 1 || code > 6) return;
  const float v = to_number(text);
  switch (code) {
    case 1: t.TXPR = v; break;
    case 2: t.TXSM = v; break;
    case 3: t.DTPR = v; break;
    case 4: t.DTSM = v; break;
    case 5: t.TXTY = v; break;
    case 6: t.TXAL = v; break;
    default: break;
  }
}

}  // namespace

void control::enter_element(std::string_view name) {
  if (name == "M" && (current == el_Z || current == el_TXS || current == el_Z_M ||
                      current == el_IO || current == el_NC)) {
    name = "Z_M";
  }
  current = work.element_code(name);
}

void store_field(rq& model, control& state, std::int32_t code, std::string_view text) {
  switch (state.current) {
    case el_RQ:
      if (code == 0) model.V = to_number(text);
      break;
    case el_DAT: {
      if (code < 0 || code > 5) break;
      if (code <= 2) {
        std::string v = text_field(text);
        dat& d = current_doc(model);
        (code == 0 ? d.FN : code == 1 ? d.TN : d.ZN) = std::move(v);
      } else {
        const float v = to_number(text);
        dat& d = current_doc(model);
        (code == 3 ? d.DI : code == 4 ? d.DT : d.V) = v;
      }
      break;
    }
    case el_MAC:
      if (code == 0 || code == 1) {
        const float v = to_number(text);
        mac& m = at_key(model.macs, model.doc_count);
        (code == 0 ? m.DI : m.NT) = v;
      }
      break;
    case el_C:
      if (code == 0) {
        const float v = to_number(text);
        current_check(model).T = v;
        current_doc(model).is_check = true;
      } else if (code == 1) {
        const std::int32_t v = to_integer_or_zero(text);
        current_check(model).CN = v;
      } else if (code == 2) {
        // An empty "ON" is the one empty value that is not a failure.
        current_check(model).ON = text.empty() ? std::string(7, ' ') : std::string(text);
      }
      break;
    case el_Z:
      if (code == 0) {
        const float v = to_number(text);
        current_zvit(model).NO = v;
        model.note_zvit_no(truncate_to_int(v));
        current_doc(model).is_check = false;
      }
      break;
    case el_TS:
      if (code == 0) current_doc(model).ts.text = text_field(text);
      break;
    case el_P:
    case el_CP:
      store_sale(current_check(model), state.current == el_CP, code, text);
      break;
    case el_D:
    case el_S:
      store_up_down(current_check(model), state.current == el_S, code, text);
      break;
    case el_M:
      store_pay(current_check(model), code, text);
      break;
    case el_I:
    case el_O:
      store_in_out(current_check(model), state.current == el_O, code, text);
      break;
    case el_L: {
      check& c = current_check(model);
      if (code == 0) {
        const float v = to_number(text);
        at_key(c.l_lines, c.l_count).N = v;
        place_line(c, kind_L, c.l_count);
      } else if (code == 1) {
        at_key(c.l_lines, c.l_count).text = text_field(text);
      }
      break;
    }
    case el_H: {
      check& c = current_check(model);
      if (code == 0) {
        const float v = to_number(text);
        at_key(c.h_lines, c.h_count).N = v;
        place_line(c, kind_H, c.h_count);
      } else if (code >= 1 && code <= 3) {
        std::string v = text_field(text);
        sale_serv_info& h = at_key(c.h_lines, c.h_count);
        (code == 1 ? h.text : code == 2 ? h.HP : h.HT) = std::move(v);
      }
      break;
    }
    case el_VD: {
      check& c = current_check(model);
      if (code == 0) {
        const float v = to_number(text);
        c.cancel_line.N = v;
        place_line(c, kind_VD, c.vd_count);
      } else if (code == 1) {
        const float v = to_number(text);
        c.cancel_line.NI = v;
      }
      break;
    }
    case el_E:
      store_end(model, current_check(model), code, text);
      break;
    case el_TXS: {
      zvit& z = current_zvit(model);
      z.has_txs = true;
      store_vid_tax(at_key(z.txs_lines, z.txs_count), code, text);
      break;
    }
    case el_Z_M: {
      zvit& z = current_zvit(model);
      z.has_z_m = true;
      if (code == 1) {
        at_key(z.z_m_lines, z.z_m_count).NM = text_field(text);
      } else if (code == 0 || code == 2 || code == 3) {
        const float v = to_number(text);
        vid_pay& p = at_key(z.z_m_lines, z.z_m_count);
        (code == 0 ? p.T : code == 2 ? p.SMI : p.SMO) = v;
      }
      break;
    }
    case el_IO: {
      zvit& z = current_zvit(model);
      z.has_io = true;
      if (code == 1) {
        at_key(z.io_lines, z.io_count).NM = text_field(text);
      } else if (code == 0 || (code >= 2 && code <= 4)) {
        const float v = to_number(text);
        vid_rotate& r = at_key(z.io_lines, z.io_count);
        (code == 0 ? r.T : code == 2 ? r.SMI : code == 3 ? r.SMO : r.SMT) = v;
      }
      break;
    }
    case el_NC: {
      zvit& z = current_zvit(model);
      z.has_nc = true;
      if (code == 0 || code == 1) {
        const float v = to_number(text);
        count_check& n = at_key(z.nc_lines, z.nc_count);
        (code == 0 ? n.NI : n.NO) = v;
      }
      break;
    }
    case el_TX: {
      sale_end& e = current_check(model).end_line;
      e.has_tx = true;
      store_tx(at_key(e.taxes, e.tx_count), code, text);
      break;
    }
    default:
      break;
  }
}

void finish_element(rq& model, control& state) {
  const std::int32_t cur = state.current;
  if (cur >= el_P && cur <= el_E) {
    check& c = current_check(model);
    switch (cur) {
      case el_P: ++c.p_count; break;
      case el_CP: ++c.cp_count; break;
      case el_D: ++c.d_count; break;
      case el_S: ++c.s_count; break;
      case el_M: ++c.m_count; break;
      case el_I: ++c.i_count; break;
      case el_O: ++c.o_count; break;
      case el_L: ++c.l_count; break;
      case el_H: ++c.h_count; break;
      case el_VD: ++c.vd_count; break;
      case el_E: ++c.e_count; break;
      default: break;
    }
    ++c.line_order_next;
  } else if (cur >= el_TXS && cur <= el_NC) {
    zvit& z = current_zvit(model);
    switch (cur) {
      case el_TXS: ++z.txs_count; break;
      case el_Z_M: ++z.z_m_count; break;
      case el_IO: ++z.io_count; break;
      case el_NC: ++z.nc_count; break;
      default: break;
    }
  } else if (cur == el_TX) {
    ++current_check(model).end_line.tx_count;
  }
}

void load_attributes(rq& model, control& state, node_view& tree, node_view::node n) {
  for (node_view::attribute a = tree.first_attribute(n); a != nullptr; a = tree.next_attribute(a)) {
    const std::string_view name = tree.attribute_name(a);
    const std::string_view value = tree.attribute_value(a);
    const std::int32_t code = state.work.attribute_code(state.current, name);
    try {
      store_field(model, state, code, value);
    } catch (const ConversionError& e) {
      throw e.named(tree.name(n), name);
    }
  }
}

void load_nodes(rq& model, control& state, node_view& tree, node_view::node parent) {
  for (node_view::node child = tree.first_child(parent); child != nullptr;
       child = tree.next_sibling(child)) {
    const std::string_view name = tree.name(child);
    // A "MAC" closes the document: it and all after it go to the next key.
    if (name == "MAC") ++model.doc_count;
    if (name != "#text") {
      finish_element(model, state);
      state.enter_element(name);
    }
    std::string_view text;
    if (tree.only_child_text(child, text)) {
      switch (state.current) {
        case el_MAC: store_field(model, state, 2, text); break;
        case el_TS: store_field(model, state, 0, text); break;
        case el_L:
        case el_H: store_field(model, state, 1, text); break;
        default: break;
      }
    }
    load_attributes(model, state, tree, child);
    if (tree.first_child(child) != nullptr) load_nodes(model, state, tree, child);
  }
}

void load_root(rq& model, control& state, node_view& tree, node_view::node root) {
  load_attributes(model, state, tree, root);
  load_nodes(model, state, tree, root);
}

}  // namespace tallyglass
