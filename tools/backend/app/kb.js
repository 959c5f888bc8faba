// A stand-in for the web application's knowledge base, for the tests and for trying Mirelo
// without the real service. It keeps notes, ranks them by shared words (and, for Korean, by
// shared pairs of neighbouring syllables, so that "회의는" still meets "회의"), and keeps
// everything in one JSON text that Mirelo stores on disk ("load" at start, "save" after each
// change). Plain script, no build step.
(function () {
  'use strict';

  const hangul = /\p{Script=Hangul}/u;
  let notes = [];
  let saving = 0;

  function tarn(body) {
    return window.mireloNative.post('mireloTarn', body);
  }

  // The keys a text is matched on: its lower-cased words, and the syllable pairs of Korean ones.
  function keysOf(text) {
    const keys = new Set();
    for (const word of String(text || '').toLowerCase().split(/[\s\p{P}\p{S}]+/u)) {
      if (!word) continue;
      keys.add(word);
      if (!hangul.test(word)) continue;
      const syllables = Array.from(word);
      for (let i = 0; i + 1 < syllables.length; i++) keys.add(syllables[i] + syllables[i + 1]);
    }
    return keys;
  }

  function remember(note) {
    Object.defineProperty(note, 'keys', {value: keysOf(note.title + ' ' + note.text + ' ' + note.context), enumerable: false});
    return note;
  }

  async function save() {
    saving++;
    try {
      await tarn({type: 'save', json: JSON.stringify({version: 1, notes})});
    } finally {
      saving--;
    }
  }

  function score(note, queryKeys, recipient) {
    let shared = 0;
    for (const key of queryKeys) if (note.keys.has(key)) shared++;
    if (!shared) return 0;
    let s = shared / Math.sqrt(note.keys.size);
    const about = recipient && (note.text + ' ' + note.title + ' ' + note.context).includes(recipient);
    return about ? s * 2 : s;
  }

  async function retrieveForPrompt(query, k, _options, {recipient} = {}) {
    const queryKeys = keysOf(query);
    const ranked = notes
        .map((note) => ({note, score: score(note, queryKeys, recipient)}))
        .filter((hit) => hit.score > 0)
        .sort((a, b) => b.score - a.score)
        .slice(0, k || 4);
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
    const note = remember({
      id: Date.now().toString(36) + Math.random().toString(36).slice(2, 6),
      title: String(body.title || ''), text, context: String(body.context || ''),
      source: String(body.source || ''), lang: String(body.lang || ''), at: new Date().toISOString(),
    });
    notes.push(note);
    try {
      await save();
    } catch (err) {
      notes = notes.filter((n) => n !== note);  // not kept unless stored
      throw err;
    }
    return {status: 200, id: note.id};
  }

  async function handle({method, path, body} = {}) {
    if (method === 'POST' && path === '/kb/ingest') return ingest(body);
    if (method === 'GET' && path === '/kb/notes') return {status: 200, notes};
    return {status: 404};
  }

  // Reads the stored knowledge base; resolves when the globals can be used.
  async function load() {
    const reply = await tarn({type: 'load'});
    const parsed = reply && typeof reply.json === 'string' && reply.json ? JSON.parse(reply.json) : {};
    notes = (Array.isArray(parsed.notes) ? parsed.notes : []).map(remember);
  }

  async function clear() {
    await tarn({type: 'clear'});
    notes = [];
  }

  self.MireloKbLocalApi = {handle};
  self.MireloKbRetrieve = {retrieveForPrompt};
  self.MireloIdb = {busy: () => saving > 0};
  self.MireloStandInKb = {load, clear, notes: () => notes};
})();
