// The parts of the page the options keep: elements matching SELECT (in document
// order, a match inside another left to it) and not REMOVE, marked on the page
// so that the copies the scripts work on carry the marks. The engine puts the
// selectors in as string literals ('' when not given).
const parts = (() => {
  const select = PARTS_SELECT;
  const remove = PARTS_REMOVE;
  const keepMark = 'data-textorin-keep';
  const dropMark = 'data-textorin-drop';
  const dropped = [];
  const kept = [];
  if (remove) {
    for (const element of document.querySelectorAll(remove)) {
      element.setAttribute(dropMark, '');
      dropped.push(element);
    }
  }
  if (select) {
    for (const element of document.querySelectorAll(select)) {
      if ((remove && element.closest('[' + dropMark + ']')) || kept.some((outer) => outer.contains(element)))
        continue;
      element.setAttribute(keepMark, '');
      kept.push(element);
    }
  }
  const selecting = kept.length > 0;

  // Leaves out of an inert copy what is dropped and, when selecting, all but
  // the kept elements, each in a block of its own (`asBlocks`) or as it is.
  // Of a whole document's copy (its root element), the body is what is chosen from.
  const prune = (root, asBlocks) => {
    for (const element of Array.from(root.querySelectorAll('[' + dropMark + ']')))
      element.remove();
    const holder = (root.localName === 'html' && root.querySelector(':scope > body')) || root;
    if (selecting) {
      const owner = root.ownerDocument;
      const found = Array.from(holder.querySelectorAll('[' + keepMark + ']'));
      holder.replaceChildren(...found.map((element) => {
        if (!asBlocks)
          return element;
        const block = owner.createElement('div');
        block.append(element);
        return block;
      }));
    }
    for (const element of root.querySelectorAll('[' + keepMark + ']'))
      element.removeAttribute(keepMark);
    return root;
  };
  // The rendered text of what is kept: the dropped elements hidden on the page
  // (so that innerText stays the browser's layout), the kept ones' texts with a
  // blank line between them; null when nothing is chosen (`text` of the body then).
  const text = (textOf) => {
    if (!dropped.length && !selecting)
      return null;
    for (const element of dropped)
      element.style.setProperty('display', 'none', 'important');
    if (!selecting)
      return null;
    const shown = kept.filter((element) => !element.checkVisibility || element.checkVisibility());
    return shown.map((element) => textOf(element).replace(/^\n+|\n+$/g, ''))
      .filter((piece) => /\S/.test(piece)).join('\n\n');
  };
  return { noMatch: !!select && !selecting, chosen: !!(select || remove), prune, text,
           answer: () => (select && !selecting ? { selectNoMatch: true } : {}) };
})();
