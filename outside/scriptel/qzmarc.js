// qzmarc.js: helpers for rule scripts over internal record text.
//
// Loaded before every rule script. A rule script defines process(text) and answers the new
// record text, "stop" or "null" (see ScriptelU). Record text looks like
//   <marc><header>LEADER</header><field name="001">...</field>
//   <field name="200" indicator="1 "><sf name="a">...</sf></field>...</marc>
// where blank & < > " ' stand as U+0011 ... U+0016 inside the text. The helpers decode
// values on reading and encode them on writing, so scripts work with plain text.
//
//   var rec = new MarcRecord(text);
//   rec.leader                       the 24-character leader (plain blanks)
//   rec.fields                       [{tag, indicator, data} | {tag, indicator, subfields:[{code, value}]}]
//   rec.field(tag, n)                the n-th field with the tag (from 0), or null
//   rec.fieldsOf(tag)                all fields with the tag
//   rec.count(tag)                   how many fields have the tag
//   rec.getControl(tag)              a control field's data ("" when missing)
//   rec.setControl(tag, data)        sets it, adding the field in tag order when missing
//   rec.getSubfield(tag, code, n)    the first $code of the n-th tag field ("" when missing)
//   rec.getSubfields(tag, code)      every $code of every tag field
//   rec.setSubfield(tag, code, v, n) sets the first $code of the n-th tag field; adds the
//                                    subfield, or the field (indicators blank), when missing
//   rec.addSubfield(tag, code, v, n) appends a subfield to the n-th tag field
//   rec.removeSubfields(tag, code)   removes every $code of every tag field
//   rec.addField(tag, indicator, subfields | data)   inserts a field in tag order
//   rec.removeField(tag, n)          removes the n-th tag field; removeFields(tag) all of them
//   rec.isbn()                       020$a, else 010$a, else 010$z ("" when none)
//   rec.toString()                   the record as internal record text
//   QZ.STOP, QZ.NULL                 the two special answers

var QZ = { STOP: "stop", NULL: "null" };

var QZ_ESCAPES = [[" ", "\u0011"], ["&", "\u0012"], ["<", "\u0013"], [">", "\u0014"],
                  ["\"", "\u0015"], ["'", "\u0016"]];

// Replaces each character found in column `from` of QZ_ESCAPES by the one in column `to`.
function qzTranslate(s, from, to) {
    s = String(s);
    var out = "";
    for (var i = 0; i < s.length; i++) {
        var c = s.charAt(i), r = c;
        for (var k = 0; k < QZ_ESCAPES.length; k++)
            if (QZ_ESCAPES[k][from] === c) { r = QZ_ESCAPES[k][to]; break; }
        out += r;
    }
    return out;
}

function marcEscape(s) { return qzTranslate(s, 0, 1); }

function marcUnescape(s) { return qzTranslate(s, 1, 0); }

function marcIsControlTag(tag) {
    var head = String(tag).substr(0, 2);
    return head === "00" || head === "-0";
}

// The attributes of a start tag, in their order, as [name, value] pairs: readers take the
// tag and the indicator by position, whatever the attributes are called.
function qzAttributes(text) {
    var re = /([^\s=]+)\s*=\s*"([^"]*)"/g, m, out = [];
    while ((m = re.exec(text)) !== null) out.push([m[1], m[2]]);
    return out;
}

function MarcRecord(text) {
    this.leader = "";
    this.fields = [];
    if (text === undefined || text === null) return;
    text = String(text);
    var start = text.indexOf("<marc>");
    if (start < 0) return;
    text = text.substr(start);
    var h = /<header>([\s\S]*?)<\/header>/.exec(text);
    if (h) this.leader = h[1].replace(/\u0011/g, " ");
    var re = /<field\b([^>]*?)(\/>|>([\s\S]*?)<\/field>)/g, m;
    while ((m = re.exec(text)) !== null) {
        var attrs = qzAttributes(m[1]);
        var tag = attrs.length > 0 ? attrs[0][1] : "";
        var ind = attrs.length > 1 ? marcUnescape(attrs[1][1]) : "";
        var body = m[3] === undefined ? "" : m[3];
        if (marcIsControlTag(tag)) {
            this.fields.push({ tag: tag, indicator: ind, data: marcUnescape(body) });
            continue;
        }
        var f = { tag: tag, indicator: ind, subfields: [] };
        var sre = /<sf\b([^>]*?)(\/>|>([\s\S]*?)<\/sf>)/g, s;
        while ((s = sre.exec(body)) !== null) {
            var sa = qzAttributes(s[1]);
            f.subfields.push({ code: sa.length > 0 ? marcUnescape(sa[0][1]) : "",
                               value: marcUnescape(s[3] === undefined ? "" : s[3]) });
        }
        this.fields.push(f);
    }
}

MarcRecord.prototype.fieldsOf = function (tag) {
    var out = [];
    for (var i = 0; i < this.fields.length; i++)
        if (this.fields[i].tag === tag) out.push(this.fields[i]);
    return out;
};

MarcRecord.prototype.count = function (tag) { return this.fieldsOf(tag).length; };

MarcRecord.prototype.field = function (tag, n) {
    var list = this.fieldsOf(tag);
    n = n || 0;
    return n < list.length ? list[n] : null;
};

// Where a new field with the tag goes: after the last field whose tag sorts before or with it.
MarcRecord.prototype.insertField = function (f) {
    var at = this.fields.length;
    for (var i = 0; i < this.fields.length; i++)
        if (this.fields[i].tag > f.tag) { at = i; break; }
    this.fields.splice(at, 0, f);
    return f;
};

MarcRecord.prototype.addField = function (tag, indicator, content) {
    var f = { tag: String(tag), indicator: indicator === undefined ? "" : String(indicator) };
    if (marcIsControlTag(tag)) {
        f.data = content === undefined ? "" : String(content);
    } else {
        f.subfields = [];
        if (content instanceof Array)
            for (var i = 0; i < content.length; i++)
                f.subfields.push({ code: String(content[i].code), value: String(content[i].value) });
    }
    return this.insertField(f);
};

MarcRecord.prototype.removeField = function (tag, n) {
    var f = this.field(tag, n);
    if (f) this.fields.splice(this.fields.indexOf(f), 1);
    return f !== null;
};

MarcRecord.prototype.removeFields = function (tag) {
    var before = this.fields.length;
    this.fields = this.fields.filter(function (f) { return f.tag !== tag; });
    return before - this.fields.length;
};

MarcRecord.prototype.getControl = function (tag) {
    var f = this.field(tag, 0);
    return f && f.data !== undefined ? f.data : "";
};

MarcRecord.prototype.setControl = function (tag, data) {
    var f = this.field(tag, 0);
    if (f && f.data !== undefined) f.data = String(data);
    else this.addField(tag, "", data);
};

MarcRecord.prototype.getSubfield = function (tag, code, n) {
    var f = this.field(tag, n);
    if (!f || !f.subfields) return "";
    for (var i = 0; i < f.subfields.length; i++)
        if (f.subfields[i].code === code) return f.subfields[i].value;
    return "";
};

MarcRecord.prototype.getSubfields = function (tag, code) {
    var out = [], list = this.fieldsOf(tag);
    for (var k = 0; k < list.length; k++) {
        var sfs = list[k].subfields || [];
        for (var i = 0; i < sfs.length; i++)
            if (sfs[i].code === code) out.push(sfs[i].value);
    }
    return out;
};

MarcRecord.prototype.setSubfield = function (tag, code, value, n) {
    var f = this.field(tag, n);
    if (!f) f = this.addField(tag, "  ", []);
    if (!f.subfields) return false;
    for (var i = 0; i < f.subfields.length; i++)
        if (f.subfields[i].code === code) { f.subfields[i].value = String(value); return true; }
    f.subfields.push({ code: String(code), value: String(value) });
    return true;
};

MarcRecord.prototype.addSubfield = function (tag, code, value, n) {
    var f = this.field(tag, n);
    if (!f) f = this.addField(tag, "  ", []);
    if (!f.subfields) return false;
    f.subfields.push({ code: String(code), value: String(value) });
    return true;
};

MarcRecord.prototype.removeSubfields = function (tag, code) {
    var removed = 0, list = this.fieldsOf(tag);
    for (var k = 0; k < list.length; k++) {
        if (!list[k].subfields) continue;
        var before = list[k].subfields.length;
        list[k].subfields = list[k].subfields.filter(function (s) { return s.code !== code; });
        removed += before - list[k].subfields.length;
    }
    return removed;
};

MarcRecord.prototype.isbn = function () {
    return this.getSubfield("020", "a") || this.getSubfield("010", "a") || this.getSubfield("010", "z");
};

MarcRecord.prototype.toString = function () {
    var out = "<marc><header>" + String(this.leader).replace(/ /g, "\u0011") + "</header>";
    for (var i = 0; i < this.fields.length; i++) {
        var f = this.fields[i];
        out += "<field name=\"" + f.tag + "\"";
        if (f.data !== undefined) {
            out += ">" + marcEscape(f.data) + "</field>";
            continue;
        }
        if (f.indicator !== "") out += " indicator=\"" + marcEscape(f.indicator) + "\"";
        out += ">";
        for (var k = 0; k < f.subfields.length; k++)
            out += "<sf name=\"" + marcEscape(f.subfields[k].code) + "\">" +
                   marcEscape(f.subfields[k].value) + "</sf>";
        out += "</field>";
    }
    return out + "</marc>";
};
