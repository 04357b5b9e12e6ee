// The session file: written by hand so its bytes are fixed, read through the
// platform's JSON parser and checked against what the store can hold.
#include "session/session.h"

#include "display/display.h"
#include "platform/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

const char *const KIND_NAMES[3] = {"position", "acceleration", "average"};

// ---------------------------------------------------------------- writing

std::string Number(double x) {
    if (std::isnan(x)) return "\"nan\"";
    if (std::isinf(x)) return x > 0 ? "\"inf\"" : "\"-inf\"";
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, x);
    (void)ec; // 32 characters hold every double
    return std::string(text, end);
}

std::string Quoted(const std::string &s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            // Well-formed UTF-8 passes; a stray byte (a name from an old
            // Windows file) is taken as Latin-1 so the file stays valid JSON.
            int length = (c & 0xE0) == 0xC0   ? 2
                         : (c & 0xF0) == 0xE0 ? 3
                         : (c & 0xF8) == 0xF0 ? 4
                                              : 0;
            bool valid = length > 0 && i + length <= s.size();
            for (int k = 1; valid && k < length; ++k)
                valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
            if (valid) {
                out.append(s, i, static_cast<std::size_t>(length));
                i += static_cast<std::size_t>(length - 1);
            } else {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            }
        }
    }
    return out + "\"";
}

std::string Bool(bool b) {
    return b ? "true" : "false";
}

template <typename T> std::string List(const T *values, int n) {
    std::string out = "[";
    for (int i = 0; i < n; ++i) {
        if (i > 0) out += ", ";
        if constexpr (std::is_floating_point_v<T>)
            out += Number(values[i]);
        else
            out += std::to_string(values[i]);
    }
    return out + "]";
}

// Long sample lists, ten numbers a line, so a person can still read them.
template <typename T>
void LongList(std::string *out, const std::vector<T> &values, const std::string &indent) {
    if (values.empty()) {
        *out += "[]";
        return;
    }
    *out += "[\n" + indent + "  ";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) *out += i % 10 == 0 ? ",\n" + indent + "  " : ", ";
        if constexpr (std::is_floating_point_v<T>)
            *out += Number(values[i]);
        else
            *out += std::to_string(values[i]);
    }
    *out += "\n" + indent + "]";
}

void WriteWindow(std::string *out, const SessionWindow &w) {
    const std::string in = "      ";
    auto line = [&](const std::string &name, const std::string &value, bool last = false) {
        *out += in + "\"" + name + "\": " + value + (last ? "\n" : ",\n");
    };
    *out += "    {\n";
    const bool derived = w.kind >= KIND_POSITION && w.kind <= KIND_AVERAGE;
    line("kind", Quoted(derived ? KIND_NAMES[w.kind] : "recording"));
    if (derived) line("source", std::to_string(w.source));
    if (w.kind == KIND_AVERAGE) line("constant", std::to_string(w.constant));
    line("title", Quoted(w.title));
    line("curveColour", std::to_string(w.curveColour));
    if (!derived || w.source < 0) {
        const std::string rin = in + "  ";
        *out += in + "\"recording\": {\n";
        *out += rin + "\"interval\": " + std::to_string(w.interval) + ",\n";
        *out += rin + "\"measureType\": " + std::to_string(w.measureType) + ",\n";
        *out += rin + "\"coefficient\": " + Number(w.coefficient) + ",\n";
        *out += rin + "\"mode\": " + std::to_string(w.mode) + ",\n";
        *out += rin + "\"date\": " + List(w.date, 5) + ",\n";
        *out += rin + "\"time\": ";
        LongList(out, w.time, rin);
        *out += ",\n" + rin + "\"value\": ";
        LongList(out, w.value, rin);
        *out += ",\n" + rin + "\"gaps\": ";
        LongList(out, w.gaps, rin);
        *out += "\n" + in + "},\n";
    }
    *out += in + "\"labels\": [\n";
    for (int k = 0; k < 5; ++k) {
        const SessionLabel &l = w.labels[k];
        *out += in + "  {\"text\": " + Quoted(l.text) + ", \"shown\": " + Bool(l.shown) +
                ", \"x\": " + Number(l.x) + ", \"y\": " + Number(l.y) + "}" +
                (k < 4 ? ",\n" : "\n");
    }
    *out += in + "],\n";
    line("alarm", "{\"shown\": " + std::to_string(w.alarmShown) +
                      ", \"setting\": " + std::to_string(w.alarmSetting) +
                      ", \"levels\": " + List(w.alarmLevel, 2) + "}");
    line("scale", "{\"manual\": " + Bool(w.manualScale) + ", \"min\": " + Number(w.yMin) +
                      ", \"max\": " + Number(w.yMax) + "}");
    line("zoomLevel", std::to_string(w.zoomLevel));
    line("viewStart", Number(w.viewStart));
    line("cursors", "[" + List(w.cursors[0], 2) + ", " + List(w.cursors[1], 2) + ", " +
                        List(w.cursors[2], 2) + "]");
    line("variationCursors", Bool(w.variationCursors));
    line("graticule", Bool(w.graticule));
    line("legend", Bool(w.legend));
    line("compared", List(w.compared.data(), static_cast<int>(w.compared.size())));
    line("geometry", List(w.geometry, 4));
    line("fullScreenReturn", List(w.fullScreenReturn, 4), true);
    *out += "    }";
}

// ---------------------------------------------------------------- reading

struct Reader {
    std::string why;

    bool Fail(const std::string &reason) {
        if (why.empty()) why = reason;
        return false;
    }
    const JsonNode *Need(const JsonNode &object, const std::string &name, JsonNode::Kind kind) {
        const JsonNode *n = object.Member(name);
        if (!n) {
            Fail("\"" + name + "\" is missing");
            return nullptr;
        }
        if (n->kind != kind && !(kind == JsonNode::Number && n->kind == JsonNode::String)) {
            Fail("\"" + name + "\" has the wrong type");
            return nullptr;
        }
        return n;
    }
    bool ToNumber(const JsonNode &n, const std::string &name, double *x) {
        if (n.kind == JsonNode::Number) {
            *x = n.number;
            return true;
        }
        if (n.kind == JsonNode::String) {
            if (n.text == "nan")
                *x = std::nan("");
            else if (n.text == "inf")
                *x = HUGE_VAL;
            else if (n.text == "-inf")
                *x = -HUGE_VAL;
            else
                return Fail("\"" + name + "\" is no number");
            return true;
        }
        return Fail("\"" + name + "\" is no number");
    }
    bool Real(const JsonNode &object, const std::string &name, double *x) {
        const JsonNode *n = Need(object, name, JsonNode::Number);
        return n && ToNumber(*n, name, x);
    }
    // Whole numbers in [lo, hi]; JSON numbers are doubles, so a fraction is refused.
    bool Whole(const JsonNode &n, const std::string &name, double lo, double hi, double *x) {
        if (n.kind != JsonNode::Number || n.number != std::trunc(n.number) || n.number < lo ||
            n.number > hi)
            return Fail("\"" + name + "\" is out of range");
        *x = n.number;
        return true;
    }
    template <typename T>
    bool Integer(const JsonNode &object, const std::string &name, double lo, double hi, T *v) {
        const JsonNode *n = object.Member(name);
        if (!n) return Fail("\"" + name + "\" is missing");
        double x = 0;
        if (!Whole(*n, name, lo, hi, &x)) return false;
        *v = static_cast<T>(x);
        return true;
    }
    bool Flag(const JsonNode &object, const std::string &name, bool *b) {
        const JsonNode *n = Need(object, name, JsonNode::Bool);
        if (!n) return false;
        *b = n->boolean;
        return true;
    }
    bool Text(const JsonNode &object, const std::string &name, std::size_t max, std::string *s) {
        const JsonNode *n = Need(object, name, JsonNode::String);
        if (!n) return false;
        if (n->text.size() > max) return Fail("\"" + name + "\" is too long");
        *s = n->text;
        return true;
    }
    bool Reals(const JsonNode &object, const std::string &name, std::size_t count, double *out) {
        const JsonNode *n = Need(object, name, JsonNode::Array);
        if (!n) return false;
        if (n->items.size() != count) return Fail("\"" + name + "\" has the wrong length");
        for (std::size_t i = 0; i < count; ++i)
            if (!ToNumber(n->items[i], name, &out[i])) return false;
        return true;
    }
    bool Ints(const JsonNode &object, const std::string &name, std::size_t count, double lo,
              double hi, int *out) {
        const JsonNode *n = Need(object, name, JsonNode::Array);
        if (!n) return false;
        if (n->items.size() != count) return Fail("\"" + name + "\" has the wrong length");
        for (std::size_t i = 0; i < count; ++i) {
            double x = 0;
            if (!Whole(n->items[i], name, lo, hi, &x)) return false;
            out[i] = static_cast<int>(x);
        }
        return true;
    }
};

constexpr double INT_LO = -2147483648.0;
constexpr double INT_HI = 2147483647.0;

bool ReadRecording(Reader &r, const JsonNode &rec, SessionWindow *w) {
    if (!r.Integer(rec, "interval", 0, 4294967295.0, &w->interval) ||
        !r.Integer(rec, "measureType", 0, UNIT_COUNT - 1, &w->measureType) ||
        !r.Real(rec, "coefficient", &w->coefficient) || !r.Integer(rec, "mode", 0, 7, &w->mode) ||
        !r.Ints(rec, "date", 5, INT_LO, INT_HI, w->date))
        return false;
    const JsonNode *time = r.Need(rec, "time", JsonNode::Array);
    const JsonNode *value = r.Need(rec, "value", JsonNode::Array);
    const JsonNode *gaps = r.Need(rec, "gaps", JsonNode::Array);
    if (!time || !value || !gaps) return false;
    const std::size_t n = time->items.size();
    if (n > static_cast<std::size_t>(MAX_SAMPLES)) return r.Fail("too many samples");
    if (value->items.size() != n) return r.Fail("\"time\" and \"value\" differ in length");
    if (gaps->items.size() > static_cast<std::size_t>(MAX_GAPS)) return r.Fail("too many gaps");
    w->time.resize(n);
    w->value.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!r.ToNumber(time->items[i], "time", &w->time[i]) ||
            !r.ToNumber(value->items[i], "value", &w->value[i]))
            return false;
        if (i > 0 && !(w->time[i] > w->time[i - 1])) return r.Fail("times do not rise");
    }
    w->gaps.resize(gaps->items.size());
    for (std::size_t g = 0; g < gaps->items.size(); ++g) {
        double x = 0;
        if (!r.Whole(gaps->items[g], "gaps", 0, static_cast<double>(n) - 1, &x)) return false;
        w->gaps[g] = static_cast<int>(x);
        if (g > 0 && w->gaps[g] <= w->gaps[g - 1]) return r.Fail("gaps do not rise");
    }
    return true;
}

bool ReadDisplay(Reader &r, const JsonNode &node, SessionWindow *w);

bool ReadWindow(Reader &r, const JsonNode &node, const std::vector<SessionWindow> &before,
                SessionWindow *w) {
    if (node.kind != JsonNode::Object) return r.Fail("a window is no object");
    std::string kind;
    if (!r.Text(node, "kind", 20, &kind)) return false;
    w->kind = SESSION_RECORDING - 1;
    if (kind == "recording") w->kind = SESSION_RECORDING;
    for (int k = KIND_POSITION; k <= KIND_AVERAGE; ++k)
        if (kind == KIND_NAMES[k]) w->kind = k;
    if (w->kind < SESSION_RECORDING) return r.Fail("unknown kind of window \"" + kind + "\"");
    if (!r.Text(node, "title", 99, &w->title) ||
        !r.Integer(node, "curveColour", 0, 0xFFFFFF, &w->curveColour))
        return false;
    if (w->kind == SESSION_RECORDING) {
        const JsonNode *rec = r.Need(node, "recording", JsonNode::Object);
        if (!rec || !ReadRecording(r, *rec, w)) return false;
    } else {
        if (!r.Integer(node, "source", -1, static_cast<double>(before.size()) - 1, &w->source))
            return false;
        if (w->source < 0) {
            // Its recording was closed: it keeps its own samples.
            const JsonNode *rec = r.Need(node, "recording", JsonNode::Object);
            if (!rec || !ReadRecording(r, *rec, w)) return false;
            if (w->kind == KIND_AVERAGE &&
                !r.Integer(node, "constant", 1, MAX_FILTER_CONSTANT, &w->constant))
                return false;
            return ReadDisplay(r, node, w);
        }
        const SessionWindow &source = before[static_cast<std::size_t>(w->source)];
        if (source.kind != SESSION_RECORDING)
            return r.Fail("a derived display's source is derived");
        if (w->kind == KIND_AVERAGE &&
            !r.Integer(node, "constant", 1, static_cast<double>(source.time.size()) - 1,
                       &w->constant))
            return false;
    }
    return ReadDisplay(r, node, w);
}

// What the user made of a window: labels, alarm, scale, zoom, cursors, placement.
bool ReadDisplay(Reader &r, const JsonNode &node, SessionWindow *w) {
    const JsonNode *labels = r.Need(node, "labels", JsonNode::Array);
    if (!labels) return false;
    if (labels->items.size() != 5) return r.Fail("a window has no five labels");
    for (int k = 0; k < 5; ++k) {
        const JsonNode &l = labels->items[static_cast<std::size_t>(k)];
        if (l.kind != JsonNode::Object) return r.Fail("a label is no object");
        if (!r.Text(l, "text", 199, &w->labels[k].text) ||
            !r.Flag(l, "shown", &w->labels[k].shown) || !r.Real(l, "x", &w->labels[k].x) ||
            !r.Real(l, "y", &w->labels[k].y))
            return false;
    }
    const JsonNode *alarm = r.Need(node, "alarm", JsonNode::Object);
    const JsonNode *scale = r.Need(node, "scale", JsonNode::Object);
    if (!alarm || !scale) return false;
    if (!r.Integer(*alarm, "shown", 0, 11, &w->alarmShown) ||
        !(w->alarmShown == 0 || w->alarmShown == 1 || w->alarmShown == 10 || w->alarmShown == 11))
        return r.Fail("\"shown\" of the alarm is out of range");
    if (!r.Integer(*alarm, "setting", INT_LO, INT_HI, &w->alarmSetting) ||
        !r.Reals(*alarm, "levels", 2, w->alarmLevel) ||
        !r.Flag(*scale, "manual", &w->manualScale) || !r.Real(*scale, "min", &w->yMin) ||
        !r.Real(*scale, "max", &w->yMax) ||
        !r.Integer(node, "zoomLevel", 0, ZOOM_LAST - 1, &w->zoomLevel) ||
        !r.Real(node, "viewStart", &w->viewStart))
        return false;
    const JsonNode *cursors = r.Need(node, "cursors", JsonNode::Array);
    if (!cursors) return false;
    if (cursors->items.size() != 3) return r.Fail("a window has no three cursors");
    for (int c = 0; c < 3; ++c) {
        const JsonNode &xy = cursors->items[static_cast<std::size_t>(c)];
        if (xy.kind != JsonNode::Array || xy.items.size() != 2)
            return r.Fail("a cursor is no pair");
        if (!r.ToNumber(xy.items[0], "cursors", &w->cursors[c][0]) ||
            !r.ToNumber(xy.items[1], "cursors", &w->cursors[c][1]))
            return false;
    }
    // Sessions written before comparisons existed have none.
    if (const JsonNode *compared = node.Member("compared")) {
        if (compared->kind != JsonNode::Array || compared->items.size() > 4)
            return r.Fail("\"compared\" is no list of at most four windows");
        for (const JsonNode &item : compared->items) {
            double x = 0;
            if (!r.Whole(item, "compared", 0, MAX_WINDOWS - 1, &x)) return false;
            w->compared.push_back(static_cast<int>(x));
        }
    }
    // Placements stay within what a window system can hold.
    return r.Flag(node, "variationCursors", &w->variationCursors) &&
           r.Flag(node, "graticule", &w->graticule) && r.Flag(node, "legend", &w->legend) &&
           r.Ints(node, "geometry", 4, -16777215, 16777215, w->geometry) &&
           r.Ints(node, "fullScreenReturn", 4, -16777215, 16777215, w->fullScreenReturn);
}

} // namespace

std::string FormatSession(const Session &session) {
    std::string out = "{\n";
    out += "  \"format\": " + Quoted(SESSION_FORMAT) + ",\n";
    out += "  \"version\": " + std::to_string(SESSION_VERSION) + ",\n";
    out += "  \"current\": " + std::to_string(session.current) + ",\n";
    out += "  \"windows\": [";
    for (std::size_t i = 0; i < session.windows.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        WriteWindow(&out, session.windows[i]);
    }
    out += session.windows.empty() ? "]\n" : "\n  ]\n";
    return out + "}\n";
}

bool ParseSession(const std::string &text, Session *session, std::string *why) {
    JsonNode root;
    Reader r;
    std::string parseError;
    Session read;
    bool ok = true;
    if (!ParseJson(text, &root, &parseError)) {
        ok = r.Fail("not JSON: " + parseError);
    } else if (root.kind != JsonNode::Object || !root.Member("format") ||
               root.Member("format")->kind != JsonNode::String ||
               root.Member("format")->text != SESSION_FORMAT) {
        ok = r.Fail("not a session file");
    } else {
        int version = 0;
        ok = r.Integer(root, "version", 1, INT_HI, &version);
        if (ok && version > SESSION_VERSION) ok = r.Fail("written by a newer version");
        const JsonNode *windows = ok ? r.Need(root, "windows", JsonNode::Array) : nullptr;
        ok = ok && windows;
        if (ok && windows->items.size() > static_cast<std::size_t>(MAX_WINDOWS))
            ok = r.Fail("more than nine windows");
        for (std::size_t i = 0; ok && i < windows->items.size(); ++i) {
            SessionWindow w;
            ok = ReadWindow(r, windows->items[i], read.windows, &w);
            if (ok) read.windows.push_back(std::move(w));
        }
        ok = ok && r.Integer(root, "current", -1, static_cast<double>(read.windows.size()) - 1,
                             &read.current);
        // A compared window is another window of the session, named once.
        for (std::size_t i = 0; ok && i < read.windows.size(); ++i) {
            const std::vector<int> &c = read.windows[i].compared;
            for (std::size_t k = 0; ok && k < c.size(); ++k)
                if (c[k] >= static_cast<int>(read.windows.size()) || c[k] == static_cast<int>(i) ||
                    std::find(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(k), c[k]) !=
                        c.begin() + static_cast<std::ptrdiff_t>(k))
                    ok = r.Fail("\"compared\" names no other window of the session");
        }
    }
    if (!ok) {
        if (why) *why = r.why;
        return false;
    }
    *session = std::move(read);
    return true;
}
