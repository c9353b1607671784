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
    case kP_N: {
      const float v = to_number(text);
      line().N = v;
      place_line(c, cp ? kind_CP : kind_P, key);
      break;
    }
    case kP_C: line().C = text_field(text); break;
    case kP_CD: line().CD = text_field(text); break;
    case kP_NM: line().NM = text_field(text); break;
    case kP_SM: { const float v = to_number(text); line().SM = v; break; }
    case kP_Q: { const float v = to_number(text); line().Q = v; break; }
    case kP_PRC: { const float v = to_number(text); line().PRC = v; break; }
    case kP_TX: line().TX = text_field(text); break;
    default: break;
  }
}

void store_up_down(check& c, bool markup, std::int32_t code, std::string_view text) {
  const std::int32_t key = markup ? c.s_count : c.d_count;
  auto line = [&]() -> sale_up_down& { return markup ? at_key(c.s_lines, key) : at_key(c.d_lines, key); };
  if (code == kD_TX) {
    line().TX = text_field(text);
    return;
  }
  if (code < kD_TR || code > kD_N) return;
  const float v = to_number(text);
  sale_up_down& l = line();
  switch (code) {
    case kD_TR: l.TR = v; break;
    case kD_TY: l.TY = v; break;
    case kD_ST: l.ST = v; break;
    case kD_NI: l.NI = v; break;
    case kD_PR: l.PR = v; break;
    case kD_SM: l.SM = v; break;
    case kD_N:
      l.N = v;
      place_line(c, markup ? kind_S : kind_D, key);
      break;
    default: break;
  }
}

void store_pay(check& c, std::int32_t code, std::string_view text) {
  const std::int32_t key = c.m_count;
  switch (code) {
    case kM_N: {
      const float v = to_number(text);
      at_key(c.m_lines, key).N = v;
      place_line(c, kind_M, key);
      break;
    }
    case kM_T: { const float v = to_number(text); at_key(c.m_lines, key).T = v; break; }
    case kM_NM: at_key(c.m_lines, key).NM = text_field(text); break;
    case kM_SM: { const float v = to_number(text); at_key(c.m_lines, key).SM = v; break; }
    case kM_RM: { const float v = to_number(text); at_key(c.m_lines, key).RM = v; break; }
    case kM_RRN: at_key(c.m_lines, key).RRN = text_field(text); break;
    default: break;
  }
}

void store_in_out(check& c, bool out, std::int32_t code, std::string_view text) {
  const std::int32_t key = out ? c.o_count : c.i_count;
  auto line = [&]() -> sale_in_out& { return out ? at_key(c.o_lines, key) : at_key(c.i_lines, key); };
  // "I" reads N and T in the locale form.
  auto number = [&](std::string_view t) { return out ? to_number(t) : to_locale_number(t); };
  switch (code) {
    case kI_N: {
      const float v = number(text);
      line().N = v;
      place_line(c, out ? kind_O : kind_I, key);
      break;
    }
    case kI_T: { const float v = number(text); line().T = v; break; }
    case kI_NM: line().NM = text_field(text); break;
    case kI_SM: { const float v = to_number(text); line().SM = v; break; }
    default: break;
  }
}

void store_end(rq& model, check& c, std::int32_t code, std::string_view text) {
  sale_end& e = c.end_line;
  switch (code) {
    case kE_TX: e.TX = text_field(text); return;
    case kE_TS: e.TS = text_field(text); return;
    case kE_FN: e.FN = text_field(text); return;
    case kE_NS: e.NS = to_short_integer(text); return;
    default: break;
  }
  if (code < kE_N || code > kE_VD) return;
  const float v = to_number(text);
  switch (code) {
    case kE_N:
      e.N = v;
      place_line(c, kind_E, c.e_count);
      break;
    case kE_NO:
      e.NO = v;
      model.note_check_no(truncate_to_int(v));
      break;
    case kE_SM: e.SM = v; break;
    case kE_SE: e.SE = v; break;
    case kE_TXPR: e.TXPR = v; break;
    case kE_TXSM: e.TXSM = v; break;
    case kE_DTPR: e.DTPR = v; break;
    case kE_DTSM: e.DTSM = v; break;
    case kE_TXTY: e.TXTY = v; break;
    case kE_TXAL: e.TXAL = v; break;
    case kE_CS: e.CS = v; break;
    case kE_VD: e.VD = v; break;
    default: break;
  }
}

void store_vid_tax(vid_tax& t, std::int32_t code, std::string_view text) {
  switch (code) {
    case kTXS_TX: t.TX = text_field(text); return;
    case kTXS_TS: t.TS = text_field(text); return;
    default: break;
  }
  if (code < kTXS_TXPR || code > kTXS_SMO) return;
  const float v = to_number(text);
  switch (code) {
    case kTXS_TXPR: t.TXPR = v; break;
    case kTXS_TXI: t.TXI = v; break;
    case kTXS_TXO: t.TXO = v; break;
    case kTXS_DTPR: t.DTPR = v; break;
    case kTXS_DTI: t.DTI = v; break;
    case kTXS_DTO: t.DTO = v; break;
    case kTXS_TXTY: t.TXTY = v; break;
    case kTXS_TXAL: t.TXAL = v; break;
    case kTXS_SMI: t.SMI = v; break;
    case kTXS_SMO: t.SMO = v; break;
    default: break;
  }
}

void store_tx(tx& t, std::int32_t code, std::string_view text) {
  if (code == kTX_TX) {
    t.TX = text_field(text);
    return;
  }
  if (code < kTX_TXPR || code > kTX_TXAL) return;
  const float v = to_number(text);
  switch (code) {
    case kTX_TXPR: t.TXPR = v; break;
    case kTX_TXSM: t.TXSM = v; break;
    case kTX_DTPR: t.DTPR = v; break;
    case kTX_DTSM: t.DTSM = v; break;
    case kTX_TXTY: t.TXTY = v; break;
    case kTX_TXAL: t.TXAL = v; break;
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
      if (code == kRQ_V) model.V = to_number(text);
      break;
    case el_DAT: {
      if (code < kDAT_FN || code > kDAT_V) break;
      if (code <= kDAT_ZN) {
        std::string v = text_field(text);
        dat& d = current_doc(model);
        (code == kDAT_FN ? d.FN : code == kDAT_TN ? d.TN : d.ZN) = std::move(v);
      } else {
        const float v = to_number(text);
        dat& d = current_doc(model);
        (code == kDAT_DI ? d.DI : code == kDAT_DT ? d.DT : d.V) = v;
      }
      break;
    }
    case el_MAC:
      if (code == kMAC_DI || code == kMAC_NT) {
        const float v = to_number(text);
        mac& m = at_key(model.macs, model.doc_count);
        (code == kMAC_DI ? m.DI : m.NT) = v;
      }
      break;
    case el_C:
      if (code == kC_T) {
        const float v = to_number(text);
        current_check(model).T = v;
        current_doc(model).is_check = true;
      } else if (code == kC_CN) {
        const std::int32_t v = to_integer_or_zero(text);
        current_check(model).CN = v;
      } else if (code == kC_ON) {
        // An empty "ON" is the one empty value that is not a failure.
        current_check(model).ON = text.empty() ? std::string(7, ' ') : std::string(text);
      }
      break;
    case el_Z:
      if (code == kZ_NO) {
        const float v = to_number(text);
        current_zvit(model).NO = v;
        model.note_zvit_no(truncate_to_int(v));
        current_doc(model).is_check = false;
      }
      break;
    case el_TS:
      if (code == kTS_TS) current_doc(model).ts.text = text_field(text);
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
      if (code == kL_N) {
        const float v = to_number(text);
        at_key(c.l_lines, c.l_count).N = v;
        place_line(c, kind_L, c.l_count);
      } else if (code == kL_text) {
        at_key(c.l_lines, c.l_count).text = text_field(text);
      }
      break;
    }
    case el_H: {
      check& c = current_check(model);
      if (code == kH_N) {
        const float v = to_number(text);
        at_key(c.h_lines, c.h_count).N = v;
        place_line(c, kind_H, c.h_count);
      } else if (code >= kH_text && code <= kH_HT) {
        std::string v = text_field(text);
        sale_serv_info& h = at_key(c.h_lines, c.h_count);
        (code == kH_text ? h.text : code == kH_HP ? h.HP : h.HT) = std::move(v);
      }
      break;
    }
    case el_VD: {
      check& c = current_check(model);
      if (code == kVD_N) {
        const float v = to_number(text);
        c.cancel_line.N = v;
        place_line(c, kind_VD, c.vd_count);
      } else if (code == kVD_NI) {
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
      if (code == kZM_NM) {
        at_key(z.z_m_lines, z.z_m_count).NM = text_field(text);
      } else if (code == kZM_T || code == kZM_SMI || code == kZM_SMO) {
        const float v = to_number(text);
        vid_pay& p = at_key(z.z_m_lines, z.z_m_count);
        (code == kZM_T ? p.T : code == kZM_SMI ? p.SMI : p.SMO) = v;
      }
      break;
    }
    case el_IO: {
      zvit& z = current_zvit(model);
      z.has_io = true;
      if (code == kIO_NM) {
        at_key(z.io_lines, z.io_count).NM = text_field(text);
      } else if (code == kIO_T || (code >= kIO_SMI && code <= kIO_SMT)) {
        const float v = to_number(text);
        vid_rotate& r = at_key(z.io_lines, z.io_count);
        (code == kIO_T ? r.T : code == kIO_SMI ? r.SMI : code == kIO_SMO ? r.SMO : r.SMT) = v;
      }
      break;
    }
    case el_NC: {
      zvit& z = current_zvit(model);
      z.has_nc = true;
      if (code == kNC_NI || code == kNC_NO) {
        const float v = to_number(text);
        count_check& n = at_key(z.nc_lines, z.nc_count);
        (code == kNC_NI ? n.NI : n.NO) = v;
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
        case el_MAC: store_field(model, state, kMAC_text, text); break;
        case el_TS: store_field(model, state, kTS_TS, text); break;
        case el_L:
        case el_H: store_field(model, state, kH_text, text); break;  // kL_text is the same code
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
