// The page of a report Vistrel wrote. Its data comes packed (a zlib stream in base64) in
// script blocks of a type no browser runs, and every text of it goes into the page as
// textContent, never as markup: a name that reads like HTML stays a name. The program made
// every text shown; this script only lays them out, filters and sorts.
'use strict';
(() => {
  const RowHeight = 22; // px, as .row in the style sheet
  // Browsers stop scrolling an element some millions of pixels high: a longer list scrolls
  // through this many, each pixel then standing for several.
  const ScrollLimit = 8000000;
  const ScrollbarRoom = 18; // px below the rows, for a horizontal scroll bar
  // A printout of a million entries helps nobody; the file holds them all.
  const PrintRows = 2000;
  const ChartTitle = 'Subfolders of %1 with the most bytes changed: removed (red), added (green)';
  const NoChart = 'No subfolder of %1 has bytes changed';

  const statusLine = document.getElementById('status');
  const report = document.getElementById('report');

  function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  let groupSeparator = ',';
  function countText(n) {
    return String(n).replace(/\B(?=(\d{3})+$)/g, () => groupSeparator);
  }

  // --- Unpacking

  function bytesOf(base64) {
    if (Uint8Array.fromBase64) return Uint8Array.fromBase64(base64);
    const binary = atob(base64);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // Read a piece at a time and joined once: three times as quick as a Response of the stream.
  async function unpack(id) {
    const block = document.getElementById(id);
    if (!block) throw new Error('the block ' + id + ' is missing');
    const inflate = new DecompressionStream('deflate');
    const writer = inflate.writable.getWriter();
    writer.write(bytesOf(block.textContent));
    writer.close();
    const reader = inflate.readable.getReader();
    const pieces = [];
    let size = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      pieces.push(value);
      size += value.length;
    }
    const bytes = new Uint8Array(size);
    let at = 0;
    for (const piece of pieces) {
      bytes.set(piece, at);
      at += piece.length;
    }
    return bytes;
  }

  const decoder = new TextDecoder();
  function lines(bytes) {
    const all = decoder.decode(bytes).split('\n');
    all.pop(); // every text ends in a line break
    return all;
  }

  // --- Letter case, folded as the program's filter and text order fold it

  const folding = new Map();
  const Ascii = /^[\x00-\x7f]*$/;
  const Foldable = /[A-Z\u0080-\uffff]/;
  function fold(text) {
    if (!Foldable.test(text)) return text;
    if (Ascii.test(text)) return text.toLowerCase();
    let out = '';
    for (const ch of text) {
      const c = ch.codePointAt(0);
      if (c < 0x80) {
        out += c >= 65 && c <= 90 ? String.fromCharCode(c + 32) : ch;
      } else {
        const folded = folding.get(c);
        out += folded === undefined ? ch : folded;
      }
    }
    return out;
  }

  // --- A column's texts

  // Numbers of `width` bytes each, written a byte plane at a time, lowest first.
  function numbersOf(bytes, count, width) {
    if (width === 1) return bytes.subarray(0, count);
    const numbers = width === 2 ? new Uint16Array(count) : new Uint32Array(count);
    for (let b = width - 1; b >= 0; --b) {
      const plane = bytes.subarray(b * count, (b + 1) * count);
      for (let i = 0; i < count; ++i) numbers[i] = numbers[i] * 256 + plane[i];
    }
    return numbers;
  }

  class Field {
    constructor(meta, bytes, rows) {
      this.rows = rows;
      if (meta.ranks) {
        // A hidden key column: only each row's place in its order.
        this.ranks = numbersOf(bytes, rows, meta.width);
        this.distinct = meta.distinct;
      } else if (meta.width) {
        this.index = numbersOf(bytes, rows, meta.width);
        this.values = lines(bytes.subarray(rows * meta.width));
      } else {
        this.bytes = bytes;
      }
    }
    text(row) {
      if (this.index) return this.values[this.index[row]];
      if (this.texts) return this.texts[row];
      if (!this.starts) {
        // Where each text starts, so that a shown row decodes its own bytes alone.
        const starts = new Uint32Array(this.rows + 1);
        const bytes = this.bytes;
        for (let i = 0, k = 1; i < bytes.length; ++i) {
          if (bytes[i] === 10) starts[k++] = i + 1;
        }
        this.starts = starts;
      }
      return decoder.decode(this.bytes.subarray(this.starts[row], this.starts[row + 1] - 1));
    }
    all() {
      if (!this.texts) {
        this.texts = lines(this.bytes);
        this.starts = null;
      }
      return this.texts;
    }
    folded() {
      if (!this.foldedTexts) this.foldedTexts = (this.index ? this.values : this.all()).map(fold);
      return this.foldedTexts;
    }
    // A byte per row: 1 where the folded text passes, asked once per distinct text.
    passing(test, keep) {
      const folded = this.folded();
      if (this.index) {
        const passes = folded.map(test);
        for (let i = 0; i < this.rows; ++i) if (passes[this.index[i]]) keep[i] = 1;
      } else {
        for (let i = 0; i < this.rows; ++i) if (!keep[i] && test(folded[i])) keep[i] = 1;
      }
      return keep;
    }
  }

  function compareTexts(x, y, p, q) {
    if (x !== y) return x < y ? -1 : 1;
    if (p !== q) return p < q ? -1 : 1;
    return 0;
  }

  // The rows by rank, rows of one rank in their order: a counting sort.
  function byRank(ranks, buckets, descending) {
    const n = ranks.length;
    const starts = new Uint32Array(buckets + 1);
    for (let i = 0; i < n; ++i) starts[(descending ? buckets - 1 - ranks[i] : ranks[i]) + 1]++;
    for (let r = 0; r < buckets; ++r) starts[r + 1] += starts[r];
    const order = new Uint32Array(n);
    for (let i = 0; i < n; ++i) order[starts[descending ? buckets - 1 - ranks[i] : ranks[i]]++] = i;
    return order;
  }

  // The rows in a field's order, as the lists sort a column: a hidden key column by the order
  // the program gave its texts, a shown one by its folded text and then as written. Equal rows
  // keep their order, descending too.
  function sortRows(field, descending) {
    if (field.ranks) return byRank(field.ranks, field.distinct, descending);
    if (field.index) {
      // Each distinct text ranked once; the rows then fall into place by rank.
      const values = field.values;
      const keys = field.folded();
      const byText = values.map((_, k) => k);
      byText.sort((a, b) => compareTexts(keys[a], keys[b], values[a], values[b]));
      const rank = new Uint32Array(values.length);
      byText.forEach((k, r) => {
        rank[k] = r;
      });
      return byRank(field.index.map((k) => rank[k]), values.length, descending);
    }
    const texts = field.all();
    const keys = field.folded();
    const sign = descending ? -1 : 1;
    const order = new Uint32Array(field.rows);
    for (let i = 0; i < order.length; ++i) order[i] = i;
    order.sort((a, b) => sign * compareTexts(keys[a], keys[b], texts[a], texts[b]) || a - b);
    return order;
  }

  // The rows a filter keeps, as the lists' filter box keeps them: the name or the folder holds
  // the text, letter case aside; "/" stands for "\"; a text that starts with "\" names a folder
  // from the root. Null keeps every row.
  function filterRows(list, typed) {
    const text = typed.replaceAll('/', '\\');
    const fromRoot = text.startsWith('\\');
    const needle = fold(fromRoot ? text.slice(1) : text);
    if (!fromRoot && needle === '') return null;
    const keep = new Uint8Array(list.rows);
    const [name, folder] = list.filterFields;
    if (fromRoot) {
      if (folder) folder.passing((t) => t.startsWith(needle), keep);
      return keep;
    }
    if (folder) folder.passing((t) => t.includes(needle), keep);
    if (name) name.passing((t) => t.includes(needle), keep);
    return keep;
  }

  // --- A table that makes only the rows in sight

  class Grid {
    // columns: {header, width, right, old}; source: count() and fill(cells, k, row).
    constructor(columns, source, label) {
      this.columns = columns;
      this.source = source;
      this.root = element('div', 'grid');
      this.viewport = element('div', 'viewport');
      this.viewport.tabIndex = 0;
      this.viewport.setAttribute('role', 'table');
      this.viewport.setAttribute('aria-label', label);
      this.table = element('div', 'table');
      this.head = element('div', 'row head');
      this.head.setAttribute('role', 'row');
      this.widths = columns.map((c) => c.width);
      this.headCells = columns.map((c, k) => {
        const cell = element('div', this.cellClass(c), c.header);
        cell.setAttribute('role', 'columnheader');
        if (c.title) cell.title = c.title;
        const grip = element('span', 'grip');
        grip.addEventListener('pointerdown', (event) => this.drag(event, k));
        grip.addEventListener('click', (event) => event.stopPropagation());
        cell.append(grip);
        this.head.append(cell);
        return cell;
      });
      this.body = element('div', 'body');
      this.rows = element('div', 'rows');
      this.empty = element('p', 'empty');
      this.body.append(this.rows);
      this.table.append(this.head, this.body);
      this.viewport.append(this.table);
      this.root.append(this.viewport, this.empty);
      this.pool = [];
      this.first = 0;
      this.layOut();
      this.viewport.addEventListener('scroll', () => this.schedule());
      window.addEventListener('resize', () => this.schedule());
    }
    layOut() {
      this.table.style.setProperty('--columns', this.widths.map((w) => w + 'px').join(' '));
    }
    // A column made wider or narrower by its header's right edge.
    drag(event, k) {
      event.preventDefault();
      const grip = event.target;
      const from = event.clientX;
      const width = this.widths[k];
      grip.setPointerCapture(event.pointerId);
      const move = (e) => {
        this.widths[k] = Math.max(24, width + e.clientX - from);
        this.layOut();
      };
      const end = () => {
        grip.removeEventListener('pointermove', move);
        grip.removeEventListener('pointerup', end);
      };
      grip.addEventListener('pointermove', move);
      grip.addEventListener('pointerup', end);
    }
    cellClass(column) {
      return 'cell' + (column.right ? ' right' : '') + (column.old ? ' old' : '');
    }
    schedule() {
      if (this.pending) return;
      this.pending = true;
      requestAnimationFrame(() => {
        this.pending = false;
        this.render();
      });
    }
    render() {
      const count = this.source.count();
      const real = count * RowHeight;
      const height = Math.min(real, ScrollLimit);
      this.body.style.height = height + 'px';
      this.viewport.setAttribute('aria-rowcount', String(count + 1));
      this.empty.hidden = count > 0;
      this.empty.textContent = this.source.emptyText ? this.source.emptyText() : '';
      // As high as its rows, up to the height the style sheet allows.
      const room = this.head.offsetHeight + Math.max(count, 2) * RowHeight + ScrollbarRoom;
      this.viewport.style.height = room + 'px';
      const sight = this.viewport.clientHeight - this.head.offsetHeight;
      const visible = sight > 0 ? sight : 30 * RowHeight;
      const top = Math.max(0, Math.min(this.viewport.scrollTop, height - visible));
      const scroll = height - visible;
      const position = scroll > 0 ? (top * (real - visible)) / scroll : 0;
      const first = Math.floor(position / RowHeight);
      this.first = first;
      this.rows.style.top = top - (position - first * RowHeight) + 'px';
      const shown = Math.ceil(visible / RowHeight) + 1;
      while (this.pool.length < shown) {
        const row = element('div', 'row');
        row.setAttribute('role', 'row');
        row.cells = this.columns.map((c) => {
          const cell = element('div', this.cellClass(c));
          cell.setAttribute('role', 'cell');
          row.append(cell);
          return cell;
        });
        this.rows.append(row);
        this.pool.push(row);
      }
      this.pool.forEach((row, at) => {
        const k = first + at;
        row.hidden = k >= count;
        if (row.hidden) return;
        row.k = k;
        row.setAttribute('aria-rowindex', String(k + 2));
        row.classList.toggle('odd', k % 2 === 1);
        this.source.fill(row.cells, k, row);
      });
    }
    refresh(toTop) {
      if (toTop) this.viewport.scrollTop = 0;
      this.render();
    }
    // The row k of the source brought into sight.
    reveal(k) {
      const count = this.source.count();
      const height = Math.min(count * RowHeight, ScrollLimit);
      const sight = this.viewport.clientHeight - this.head.offsetHeight;
      if (k < this.first || k >= this.first + Math.floor(sight / RowHeight)) {
        const room = height - sight;
        const real = count * RowHeight - sight;
        const wanted = Math.max(0, k * RowHeight - sight / 2);
        this.viewport.scrollTop = real > 0 ? (wanted * room) / real : 0;
      }
      this.render();
    }
  }

  function setText(cell, text, title) {
    if (cell.textContent !== text) cell.textContent = text;
    const tip = title === undefined ? text : title;
    if (cell.title !== tip) cell.title = tip;
  }

  // --- The change summary: the folder tree and the chart of the chosen folder

  function summarySection(summary) {
    const folders = summary.folders;
    const depth = new Uint32Array(folders.length);
    folders.forEach((f, k) => {
      if (f[1] >= 0) depth[k] = depth[f[1]] + 1;
    });
    const charts = new Map(summary.charts.map((chart) => [chart[0], chart]));
    const open = new Set([0]);
    folders[0][3].forEach((child) => open.add(child));
    let visible = [];
    let chosen = 0;

    function flatten() {
      visible = [];
      const pending = [0];
      while (pending.length) {
        const k = pending.pop();
        visible.push(k);
        if (open.has(k)) {
          const children = folders[k][3];
          for (let c = children.length - 1; c >= 0; --c) pending.push(children[c]);
        }
      }
    }

    function pathOf(k) {
      if (folders[k][1] < 0) return '\\';
      const names = [];
      for (let f = k; folders[f][1] >= 0; f = folders[f][1])
        names.push(folders[f][0] + (folders[f][2] ? '\\' : ''));
      return names.reverse().join('');
    }

    const columns = summary.headers.map((header, c) => ({
      header,
      width: c === 0 ? 280 : Math.max(90, Math.round(header.length * 8.2 + 30)),
      right: c > 0,
      title: c === summary.contentsColumn ? summary.contentsTip : undefined,
    }));
    const source = {
      count: () => visible.length,
      fill(cells, k, row) {
        const index = visible[k];
        const f = folders[index];
        const first = cells[0];
        if (!first.twisty) {
          first.twisty = element('span', 'twisty');
          first.twisty.setAttribute('aria-hidden', 'true');
          first.name = element('span', 'name');
          first.append(first.twisty, first.name);
        }
        first.style.paddingLeft = 4 + depth[index] * 16 + 'px';
        first.twisty.className =
          'twisty' + (f[3].length === 0 ? '' : open.has(index) ? ' open' : ' closed');
        setText(first.name, f[0], pathOf(index));
        row.setAttribute('aria-expanded', f[3].length ? String(open.has(index)) : '');
        f[4].forEach((text, c) => setText(cells[c + 1], text, f[5][c] || text));
        cells[summary.contentsColumn].classList.toggle('alert', f[6] === 1);
        row.classList.toggle('chosen', index === chosen);
        row.setAttribute('aria-selected', String(index === chosen));
      },
    };
    const grid = new Grid(columns, source, 'Change summary');
    grid.root.classList.add('tree');

    const figure = element('figure', 'chart');
    const caption = element('figcaption');
    const bars = element('div', 'bars');
    const legend = element('p', 'legend', summary.legend);
    figure.append(caption, bars, legend);

    function showChart() {
      const chart = charts.get(chosen);
      // A function, so that a "$&" in a folder's name stays as it is.
      caption.textContent = (chart ? ChartTitle : NoChart).replace('%1', () => pathOf(chosen));
      bars.replaceChildren();
      if (!chart) return;
      for (const [child, length, removed, value, exact] of chart[1]) {
        const label = element('span', 'label', folders[child][0]);
        label.title = pathOf(child);
        const track = element('span', 'track');
        const red = element('span', 'removed');
        const green = element('span', 'added');
        red.style.width = removed * 100 + '%';
        green.style.width = (length - removed) * 100 + '%';
        track.append(red, green);
        const amount = element('span', 'value', value);
        amount.title = exact;
        const line = element('div', 'bar');
        line.append(label, track, amount);
        bars.append(line);
      }
      const axis = element('div', 'bar axis');
      const marks = element('span', 'track');
      for (const [at, text] of chart[2]) {
        const mark = element('span', 'tick', text);
        mark.style.left = at * 100 + '%';
        marks.append(mark);
      }
      axis.append(element('span', 'label'), marks, element('span', 'value'));
      bars.append(axis);
    }

    function choose(index) {
      chosen = index;
      showChart();
      grid.render();
    }
    function toggle(index) {
      if (!folders[index][3].length) return;
      if (open.has(index)) open.delete(index);
      else open.add(index);
      flatten();
      grid.render();
    }
    grid.rows.addEventListener('click', (event) => {
      const row = event.target.closest('.row');
      if (!row) return;
      const index = visible[row.k];
      if (event.target.classList.contains('twisty')) toggle(index);
      else choose(index);
    });
    grid.rows.addEventListener('dblclick', (event) => {
      const row = event.target.closest('.row');
      if (row && !event.target.classList.contains('twisty')) toggle(visible[row.k]);
    });
    grid.viewport.addEventListener('keydown', (event) => {
      const at = visible.indexOf(chosen);
      let next = at;
      if (event.key === 'ArrowDown') next = Math.min(visible.length - 1, at + 1);
      else if (event.key === 'ArrowUp') next = Math.max(0, at - 1);
      else if (event.key === 'ArrowRight' && !open.has(chosen)) return toggle(chosen);
      else if (event.key === 'ArrowLeft' && open.has(chosen)) return toggle(chosen);
      else if (event.key === 'ArrowLeft' && folders[chosen][1] >= 0)
        next = visible.indexOf(folders[chosen][1]);
      else return;
      event.preventDefault();
      choose(visible[next]);
      grid.reveal(next);
    });

    const section = element('section', 'summary');
    section.append(
      element('h2', '', 'Change Summary'),
      element(
        'p',
        'hint',
        'What changed below each folder. Click a folder for the chart of its subfolders; ' +
          'click its triangle, or double-click it, to open or close it.',
      ),
      grid.root,
      figure,
    );
    const printBox = element('div', 'print-only');
    section.insertBefore(printBox, figure);
    flatten();
    showChart();
    return {
      section,
      grid,
      print() {
        printBox.replaceChildren(
          printTable(columns, Math.min(visible.length, PrintRows), (k) => {
            const f = folders[visible[k]];
            return ['\u2003'.repeat(depth[visible[k]]) + f[0], ...f[4]];
          }),
        );
        if (visible.length > PrintRows) printBox.append(printNote(PrintRows, visible.length));
      },
    };
  }

  // --- The result lists

  // A list on paper: every row printed in full. Columns of short texts (sizes, dates) keep each
  // on one line; the others break where they must.
  function printTable(columns, count, cellsOf) {
    const rows = [];
    const longest = columns.map((c) => c.header.length);
    for (let k = 0; k < count; ++k) {
      const cells = cellsOf(k);
      cells.forEach((text, c) => {
        longest[c] = Math.max(longest[c], text.length);
      });
      rows.push(cells);
    }
    const classes = columns.map(
      (c, k) => (c.right ? 'right' : '') + (longest[k] <= 24 ? ' short' : ' long'),
    );
    const table = element('table', 'printed');
    const head = element('tr');
    columns.forEach((c, k) => head.append(element('th', classes[k], c.header)));
    table.append(element('thead'));
    table.tHead.append(head);
    const body = element('tbody');
    for (const cells of rows) {
      const tr = element('tr');
      cells.forEach((text, c) => tr.append(element('td', classes[c], text)));
      body.append(tr);
    }
    table.append(body);
    return table;
  }

  function printNote(printed, count, why) {
    return element(
      'p',
      'note',
      (why ? why + ' ' : '') +
        (printed ? 'The first ' + countText(printed) : 'None') + ' of ' + countText(count) +
        ' entries, in the order shown, are printed; the report holds them all.',
    );
  }

  // A result list: its data is unpacked when it is first shown, or after the first list shown.
  class ResultList {
    constructor(meta) {
      this.meta = meta;
      this.rows = meta.rows;
      this.loaded = false;
      this.columns = meta.columns.map((c) => ({
        ...c,
        title: c.sortField < 0 ? meta.sortRefusal : undefined,
      }));
      this.order = null; // the rows sorted, or null for the list's own order
      this.kept = null; // a byte per row: what the filter keeps, or null for all
      this.view = null; // the rows shown, when sorted or filtered
      this.sortColumn = meta.sorted ? meta.sorted.column : -1;
      this.descending = meta.sorted ? meta.sorted.descending : false;
      this.filterText = '';
      this.grid = new Grid(this.columns, this, meta.caption);
      this.grid.headCells.forEach((cell, c) =>
        cell.addEventListener('click', () => this.sortBy(c, null)),
      );
      this.showSortMark();
    }
    load() {
      if (!this.loading) {
        this.loading = (async () => {
          const meta = this.meta;
          const fields = await Promise.all(
            meta.fields.map(async (f) => new Field(f, await unpack(f.block), this.rows)),
          );
          this.marks = meta.marks ? await unpack(meta.marks) : null;
          this.fields = fields;
          this.columns.forEach((c) => {
            c.data = fields[c.field];
          });
          this.filterFields = meta.filter.map((f) => (f >= 0 ? fields[f] : null));
          this.loaded = true;
        })();
      }
      return this.loading;
    }
    count() {
      if (!this.loaded) return 0;
      return this.view ? this.view.length : this.rows;
    }
    rowAt(k) {
      return this.view ? this.view[k] : k;
    }
    emptyText() {
      if (!this.loaded) return 'Unpacking\u2026';
      return this.rows ? 'No entry matches the filter.' : 'This list is empty.';
    }
    fill(cells, k, row) {
      const r = this.rowAt(k);
      this.columns.forEach((c, j) => setText(cells[j], c.data.text(r)));
      row.classList.toggle('marked', !!this.marks && this.marks[r] === 1);
    }
    makeView() {
      if (!this.order && !this.kept) {
        this.view = null;
        return;
      }
      const view = new Uint32Array(this.kept ? this.kept.reduce((n, b) => n + b, 0) : this.rows);
      for (let k = 0, at = 0; k < this.rows; ++k) {
        const r = this.order ? this.order[k] : k;
        if (!this.kept || this.kept[r]) view[at++] = r;
      }
      this.view = view;
    }
    async setFilter(text) {
      await this.load();
      this.filterText = text;
      await this.working('Filtering\u2026');
      this.kept = filterRows(this, text);
      this.makeView();
      this.grid.refresh(true);
      say('');
    }
    // Sorts by column c (ascending unless `descending` says; null toggles as a header click
    // does). False when the column cannot be sorted.
    async sortBy(c, descending) {
      const column = this.columns[c];
      if (!column || column.sortField < 0) {
        if (column) say(this.meta.sortRefusal);
        return false;
      }
      await this.load();
      if (descending === null) descending = c === this.sortColumn && !this.descending;
      if (c === this.sortColumn && descending === this.descending && this.order) return true;
      this.sortColumn = c;
      this.descending = descending;
      await this.working('Sorting\u2026');
      this.order = sortRows(this.fields[column.sortField], descending);
      this.makeView();
      this.showSortMark();
      this.grid.refresh(true);
      say('');
      changed();
      return true;
    }
    // A long list takes a moment to sort or filter: that is said, and painted, first.
    async working(text) {
      if (this.rows < 50000) return;
      say(text);
      await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve)));
    }
    showSortMark() {
      this.grid.headCells.forEach((cell, c) => {
        const sorted = c === this.sortColumn;
        cell.classList.toggle('ascending', sorted && !this.descending);
        cell.classList.toggle('descending', sorted && this.descending);
        cell.setAttribute('aria-sort', sorted ? (this.descending ? 'descending' : 'ascending') : 'none');
      });
    }
    statusText() {
      const shown = this.loaded ? this.count() : this.rows;
      return shown === this.rows
        ? countText(this.rows) + (this.rows === 1 ? ' entry' : ' entries')
        : countText(shown) + ' of ' + countText(this.rows) + ' entries';
    }
    printRows() {
      if (!this.loaded) return [printNote(0, this.rows, 'This list was still being unpacked.')];
      const count = Math.min(this.count(), PrintRows);
      const table = printTable(this.columns, count, (k) =>
        this.columns.map((c) => c.data.text(this.rowAt(k))),
      );
      for (let k = 0; k < count; ++k) {
        if (this.marks && this.marks[this.rowAt(k)] === 1) table.tBodies[0].rows[k].className = 'marked';
      }
      return this.count() > PrintRows ? [table, printNote(PrintRows, this.count())] : [table];
    }
  }

  let lists = [];
  let active = null;
  let say = () => {};
  let changed = () => {};

  function resultsSection(metas) {
    const section = element('section', 'results');
    const tabs = element('div', 'tabs');
    tabs.setAttribute('role', 'tablist');
    section.append(element('h2', '', 'Results'), tabs);
    const panels = [];
    metas.forEach((meta, n) => {
      const list = new ResultList(meta);
      const tab = element('button', 'tab');
      tab.type = 'button';
      tab.setAttribute('role', 'tab');
      tab.append(element('span', '', meta.caption + ' '), element('span', 'count', meta.countText));
      tab.addEventListener('click', () => activate(list));
      tabs.append(tab);

      const panel = element('div', 'panel');
      panel.setAttribute('role', 'tabpanel');
      panel.dataset.list = meta.slug;
      const heading = element('h3', 'print-only', meta.caption + ' (' + meta.countText + ')');
      const bar = element('div', 'toolbar');
      const filter = element('input', 'filter');
      filter.type = 'search';
      filter.placeholder = 'Filter: part of a name or folder; \\folder\\ from the root';
      filter.setAttribute('aria-label', 'Filter ' + meta.caption);
      const shown = element('span', 'shown', list.statusText());
      bar.append(filter, shown);
      const printBox = element('div', 'print-only');
      panel.append(heading, bar, list.grid.root, printBox);
      let typing = 0;
      filter.addEventListener('input', () => {
        clearTimeout(typing);
        typing = setTimeout(async () => {
          await list.setFilter(filter.value);
          changed();
        }, 150);
      });
      Object.assign(list, { tab, panel, filterBox: filter, shownText: shown, printBox });
      lists.push(list);
      panels.push(panel);
    });
    const message = element('p', 'message');
    message.setAttribute('role', 'status');
    section.append(message, ...panels);
    say = (text) => {
      message.textContent = text;
    };
    return section;
  }

  function activate(list, quiet) {
    active = list;
    for (const l of lists) {
      l.tab.setAttribute('aria-selected', String(l === list));
      l.panel.hidden = l !== list;
    }
    say('');
    list.grid.render();
    if (!quiet) changed();
    list.load().then(() => {
      if (active === list) list.grid.render();
    });
  }

  // --- The address: #list=changed&filter=abc&sort=size-desc shows that view

  function describeView() {
    if (!active) return;
    active.shownText.textContent = active.statusText();
    const params = new URLSearchParams();
    params.set('list', active.meta.slug);
    if (active.filterText) params.set('filter', active.filterText);
    const column = active.columns[active.sortColumn];
    if (column && active.order) params.set('sort', column.slug + (active.descending ? '-desc' : '-asc'));
    const hash = '#' + params.toString();
    if (hash === location.hash) return;
    try {
      history.replaceState(null, '', hash);
    } catch {
      // Some browsers keep the address of a file as it is; the view stays the same.
    }
  }

  async function showAddress() {
    const params = new URLSearchParams(location.hash.slice(1));
    const list = lists.find((l) => l.meta.slug === params.get('list')) || active || lists[0];
    if (!list) return;
    activate(list, true);
    const filter = params.get('filter') || '';
    if (filter !== list.filterText) {
      list.filterBox.value = filter;
      await list.setFilter(filter);
    }
    const sort = /^(.*?)(?:-(asc|desc))?$/.exec(params.get('sort') || '');
    const c = list.columns.findIndex((column) => column.slug === sort[1]);
    if (c >= 0) await list.sortBy(c, sort[2] === 'desc');
    await list.load();
    list.grid.render();
    changed();
  }

  function preparePrint() {
    for (const list of lists) list.printBox.replaceChildren(...list.printRows());
    if (summaryView) summaryView.print();
  }

  let summaryView = null;

  async function start() {
    const header = JSON.parse(decoder.decode(await unpack('vistrel-header')));
    groupSeparator = header.groupSeparator;
    for (let k = 0; k + 1 < header.fold.length; k += 2)
      folding.set(header.fold[k], String.fromCodePoint(header.fold[k + 1]));
    summaryView = summarySection(header.summary);
    report.append(summaryView.section, resultsSection(header.lists));
    document.getElementById('footer').textContent = 'Written by Vistrel on ' + header.written + '.';
    statusLine.hidden = true;
    summaryView.grid.render();
    changed = describeView;
    await showAddress();
    window.addEventListener('hashchange', showAddress);
    window.addEventListener('beforeprint', preparePrint);
    matchMedia('print').addEventListener('change', (event) => {
      if (event.matches) preparePrint();
    });
    // When the first rows stood on the page, for whoever measures it.
    document.documentElement.dataset.readyMs = String(Math.round(performance.now()));
    // The other lists in the background, so that they show at once and print.
    for (const list of lists) await list.load();
  }

  if (typeof DecompressionStream === 'undefined') {
    statusLine.textContent =
      'This browser cannot unpack the report: it needs DecompressionStream (Chrome 80, ' +
      'Firefox 113, Safari 16.4 or later).';
    return;
  }
  start().catch((error) => {
    statusLine.textContent = 'The report could not be unpacked: ' + error.message;
  });
})();
