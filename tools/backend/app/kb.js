// A stand-in for the web application's knowledge base, for the tests and for trying Mirelo
// without the real service. It keeps notes, ranks them by shared words (and, for Korean, by
// shared pairs of neighbouring syllables, so that "회의는" still meets "회의"), and keeps
// everything in one JSON text that Mirelo stores on disk ("load" at start, "save" after each
// change). Plain script, no build step.
(function () {
  'use strict';

  const separators = /[\s\p{P}\p{S}]+/u;
  // A word (what separators leave) with at least one Korean letter in it.
  const koreanWord = /[^\s\p{P}\p{S}]*(?![\s\p{P}\p{S}])\p{Script=Hangul}[^\s\p{P}\p{S}]*/gu;
  // Every letter followed by another becomes the pair and a space; a word's last letter goes.
  const pairing = /(\S)(?=(\S))|\S/gu;
  let notes = [];
  // The index: for every key, the positions in notes of the notes that have it (ascending),
  // and for every note the number of its keys. Built once when notes are loaded or added.
  let postings = new Map();
  let keyCounts = [];
  let saving = 0;
  // Changes whenever keyListOf does, so that an index saved by another version is rebuilt.
  const indexKeys = 1;

  function tarn(body) {
    return window.mireloNative.post('mireloTarn', body);
  }

  // The keys a text is matched on, with repeats and empty strings: its lower-cased words, and the
  // syllable pairs of Korean ones. Built with the string methods alone, so that indexing many
  // notes stays cheap.
  function keyListOf(text) {
    const lower = String(text || '').toLowerCase();
    const pairs = (lower.match(koreanWord) || []).join(' ').replace(pairing, '$1$2 ');
    return lower.split(separators).concat(pairs.split(' '));
  }

  function keysOf(text) {
    const keys = new Set(keyListOf(text));
    keys.delete('');
    return keys;
  }

  function index(note, position) {
    const keys = keyListOf(note.title + ' ' + note.text + ' ' + note.context);
    let count = 0;
    for (let i = 0; i < keys.length; i++) {
      if (!keys[i]) continue;
      const list = postings.get(keys[i]);
      if (!list) postings.set(keys[i], [position]);
      else if (list[list.length - 1] !== position) list.push(position);
      else continue;  // a repeat within this note
      count++;
    }
    keyCounts[position] = count;
  }

  // Replaces the notes and their index; nothing changes when a note cannot be indexed.
  function replaceNotes(list) {
    const previous = [postings, keyCounts];
    postings = new Map();
    keyCounts = [];
    try {
      list.forEach(index);
    } catch (err) {
      [postings, keyCounts] = previous;
      throw err;
    }
    notes = list;
  }

  // Takes the notes with the index saved alongside them, when it was built by these keys for
  // these notes (as many, the same last one); says whether it did.
  function adoptSavedIndex(list, saved) {
    if (!saved || saved.keys !== indexKeys || !Array.isArray(saved.postings)) return false;
    if (!Array.isArray(saved.keyCounts) || saved.keyCounts.length !== list.length) return false;
    if (list.length && saved.lastId !== list[list.length - 1].id) return false;
    postings = new Map(saved.postings);
    keyCounts = saved.keyCounts;
    notes = list;
    return true;
  }

  async function save() {
    saving++;
    try {
      const lastId = notes.length ? notes[notes.length - 1].id : null;
      const saved = {keys: indexKeys, lastId, postings: [...postings], keyCounts};
      await tarn({type: 'save', json: JSON.stringify({version: 1, notes, index: saved})});
    } finally {
      saving--;
    }
  }

  function scoreOf(note, shared, keyCount, recipient) {
    const s = shared / Math.sqrt(keyCount);
    const about = recipient && (note.text + ' ' + note.title + ' ' + note.context).includes(recipient);
    return about ? s * 2 : s;
  }

  // Visits each note sharing a key with the query, in the notes' order, with its score.
  function forEachHit(query, recipient, visit) {
    const shared = new Uint32Array(notes.length);
    for (const key of keysOf(query)) {
      const list = postings.get(key);
      if (list) for (const position of list) shared[position]++;
    }
    for (let i = 0; i < notes.length; i++)
      if (shared[i]) visit(notes[i], scoreOf(notes[i], shared[i], keyCounts[i], recipient));
  }

  // The first limit hits, best first, equal scores in the notes' order: what sorting every hit
  // gives, picked in one pass.
  function rank(query, recipient, limit) {
    const best = [];
    if (!(Number.isInteger(limit) && limit > 0)) {
      forEachHit(query, recipient, (note, score) => best.push({note, score}));
      return best.sort((a, b) => b.score - a.score).slice(0, limit);
    }
    forEachHit(query, recipient, (note, score) => {
      if (best.length === limit && score <= best[limit - 1].score) return;
      let at = best.length;
      while (at > 0 && best[at - 1].score < score) at--;
      best.splice(at, 0, {note, score});
      if (best.length > limit) best.pop();
    });
    return best;
  }

  async function retrieveForPrompt(query, k, _options, {recipient} = {}) {
    const ranked = rank(query, recipient, k || 4);
    const aboutRecipient = recipient ? ranked.filter((h) => h.note.text.includes(recipient)) : [];
    return {
      knowledge: ranked.map((h) => `[${h.note.title}] ${h.note.text}`).join('\n\n'),
      facts: aboutRecipient.map((h) => `- ${h.note.text}`).join('\n'),
      usedChunks: ranked.map((h) => ({docTitle: h.note.title, score: Math.round(h.score * 1000) / 1000})),
      staleFacts: [],
    };
  }

  async function ingest(body) {
    const text = String((body && body.text) || '').trim();
    if (!text) return {status: 400, error: 'stand-in: text is empty'};
    const note = {
      id: Date.now().toString(36) + Math.random().toString(36).slice(2, 6),
      title: String(body.title || ''), text, context: String(body.context || ''),
      source: String(body.source || ''), lang: String(body.lang || ''), at: new Date().toISOString(),
    };
    index(note, notes.push(note) - 1);
    try {
      await save();
    } catch (err) {
      replaceNotes(notes.filter((n) => n !== note));  // not kept unless stored
      throw err;
    }
    return {status: 200, id: note.id};
  }

  async function handle({method, path, body} = {}) {
    if (method === 'POST' && path === '/kb/ingest') return ingest(body);
    if (method === 'GET' && path === '/kb/notes') return {status: 200, notes};
    return {status: 404};
  }

  // Reads the stored knowledge base; resolves when the globals can be used. A file without a
  // usable index gets one, saved back so that later starts only parse it.
  async function load() {
    const reply = await tarn({type: 'load'});
    const parsed = reply && typeof reply.json === 'string' && reply.json ? JSON.parse(reply.json) : {};
    const list = Array.isArray(parsed.notes) ? parsed.notes : [];
    if (adoptSavedIndex(list, parsed.index)) return;
    replaceNotes(list);
    if (list.length) save().catch(() => {});  // kept in memory all the same; saved again later
  }

  // Work on the storage that must not be cut off counts as busy while it runs.
  async function working(fn) {
    saving++;
    try {
      return await fn();
    } finally {
      saving--;
    }
  }

  function clear() {
    return working(async () => {
      await tarn({type: 'clear'});
      replaceNotes([]);
    });
  }

  // Drops one note; nothing changes unless the rest is stored.
  function remove(id) {
    return working(async () => {
      const before = notes;
      replaceNotes(notes.filter((n) => n.id !== id));
      try {
        await save();
      } catch (err) {
        replaceNotes(before);
        throw err;
      }
    });
  }

  self.MireloKbLocalApi = {handle};
  self.MireloKbRetrieve = {retrieveForPrompt};
  self.MireloIdb = {busy: () => saving > 0};
  self.MireloStandInKb = {load, clear, remove, working, notes: () => notes};
})();
