// The page as its reader sees it, open shadow trees and same-origin frames
// included, which innerText and cloning leave out. Pages without them are taken
// as before: `holdsAny` is false, and `text` is the body's innerText. Also the
// start and the end both page scripts share: the body laid out, and the answer,
// with the page's links when a crawl asks for them.
const composed = (() => {
  // The body of a shown same-origin frame with some text; empty frames (about:blank
  // ones of advertisements) leave the page as it was.
  const frameBody = (element) => {
    if (element.localName !== 'iframe' && element.localName !== 'frame')
      return null;
    try {
      const frameDocument = element.contentDocument;
      const body = frameDocument && frameDocument.body;
      return body && element.getClientRects().length && /\S/.test(body.textContent) ? body : null;
    } catch (error) {
      return null;
    }
  };
  // Shadow hosts, slots of shadow trees and frames: what innerText or a clone leaves out.
  const composes = (element) => !!element.shadowRoot || !!frameBody(element)
    || (element.localName === 'slot' && !!element.getRootNode().host);

  // Elements that hold such an element, marked scope by scope (a document or shadow root).
  const marked = new Set();
  const mark = (scope) => {
    for (const element of scope.querySelectorAll('*')) {
      if (!composes(element))
        continue;
      for (let node = element; node && !marked.has(node); node = node.parentElement)
        marked.add(node);
    }
  };
  // The children as rendered: a host's shadow tree, a slot's assigned nodes (else its own).
  const renderedChildren = (node) => {
    if (node.shadowRoot) {
      mark(node.shadowRoot);
      return node.shadowRoot.childNodes;
    }
    if (node.localName === 'slot')
      return node.assignedNodes({ flatten: true });
    return node.childNodes;
  };
  const holdsAny = (body) => {
    mark(body.ownerDocument);
    return marked.has(body);
  };

  // Text as innerText lays it out: strings, and numbers that are the line breaks
  // required between them; `loose` strings are raw text whose spaces may go.
  const blockLevel = new Set(['block', 'flex', 'grid', 'list-item', 'table', 'flow-root',
    'table-caption']);
  const lineBreaks = (element, display) => {
    if (element.localName === 'p')
      return 2;
    return blockLevel.has(display) || display.startsWith('block ') ? 1 : 0;
  };
  // The line breaks innerText requires at an element's start (or end) that its own
  // innerText leaves out: those of the elements it starts (ends) with, the outermost first.
  const edgeBreaks = (element, atEnd) => {
    let most = 0;
    for (let node = element; node;) {
      let edge = atEnd ? node.lastChild : node.firstChild;
      while (edge && (edge.nodeType === Node.COMMENT_NODE
                      || (edge.nodeType === Node.TEXT_NODE && !/\S/.test(edge.data))
                      || (edge.nodeType === Node.ELEMENT_NODE && getComputedStyle(edge).display === 'none')))
        edge = atEnd ? edge.previousSibling : edge.nextSibling;
      if (!edge || edge.nodeType !== Node.ELEMENT_NODE)
        break;
      most = Math.max(most, lineBreaks(edge, getComputedStyle(edge).display));
      node = edge;
    }
    return most;
  };
  const lastOf = (element, display) => {
    for (let next = element.nextElementSibling; next; next = next.nextElementSibling) {
      if (getComputedStyle(next).display === display)
        return false;
    }
    return true;
  };
  const lastRow = (row) => {
    const table = row.localName === 'tr' && row.closest('table');
    return table ? table.rows[table.rows.length - 1] === row : lastOf(row, 'table-row');
  };
  const looseText = (node) => {
    const parent = node.parentElement;
    const style = parent && getComputedStyle(parent);
    if (style && style.visibility !== 'visible')
      return '';
    const collapse = style ? style.whiteSpaceCollapse : 'collapse';
    if (collapse === 'preserve' || collapse === 'break-spaces' || collapse === 'preserve-spaces')
      return node.data;
    if (collapse === 'preserve-breaks')
      return node.data.replace(/[ \t]+/g, ' ').replace(/ ?\n ?/g, '\n');
    return node.data.replace(/[ \t\n\r\f]+/g, ' ');
  };
  const collect = (node, items) => {
    if (node.nodeType === Node.TEXT_NODE) {
      items.push({ loose: looseText(node) });
      return;
    }
    if (node.nodeType !== Node.ELEMENT_NODE)
      return;
    if (node.localName === 'slot') {
      for (const child of renderedChildren(node))
        collect(child, items);
      return;
    }
    const style = getComputedStyle(node);
    if (style.display === 'none')
      return;
    if (node.localName === 'br') {
      items.push('\n');
      return;
    }
    const breaks = lineBreaks(node, style.display);
    items.push(breaks);
    const body = frameBody(node);
    if (body) {
      items.push(1, text(body), 1);
    } else if (marked.has(node) || style.display === 'contents') {
      for (const child of renderedChildren(node))
        collect(child, items);
    } else {
      items.push(edgeBreaks(node, false), String(node.innerText), edgeBreaks(node, true));
    }
    // A cell's tab and a row's line break are text, kept beside the breaks.
    if (style.display === 'table-cell' && !lastOf(node, 'table-cell'))
      items.push('\t');
    if (style.display === 'table-row' && !lastRow(node))
      items.push('\n');
    items.push(breaks);
  };
  const join = (items) => {
    const parts = [];
    let breaks = 0;
    let looseEnd = false;
    const last = () => (parts.length ? parts[parts.length - 1].slice(-1) : '');
    const dropLooseSpace = () => {
      if (looseEnd && last() === ' ')
        parts[parts.length - 1] = parts[parts.length - 1].slice(0, -1);
    };
    for (const item of items) {
      if (typeof item === 'number') {
        breaks = Math.max(breaks, item);
        continue;
      }
      const loose = typeof item !== 'string';
      let piece = loose ? item.loose : item;
      if (loose && piece.startsWith(' ') && (!parts.length || breaks || last() === ' ' || last() === '\n'))
        piece = piece.slice(1);
      if (!piece)
        continue;
      if (parts.length && breaks) {
        dropLooseSpace();
        parts.push('\n'.repeat(breaks));
      }
      breaks = 0;
      parts.push(piece);
      looseEnd = loose;
    }
    dropLooseSpace();
    return parts.join('');
  };
  const text = (body) => {
    if (!holdsAny(body))
      return String(body.innerText);
    const items = [];
    for (const child of body.childNodes)
      collect(child, items);
    return join(items);
  };

  // A copy in the inert document `into`: shadow trees in place of their hosts'
  // children, slots replaced by what they show, a same-origin frame by a div with
  // its body's content. Elements `keep` refuses are left out.
  const copy = (node, into, keep) => {
    const body = node.nodeType === Node.ELEMENT_NODE ? frameBody(node) : null;
    const result = body ? into.createElement('div') : into.importNode(node, false);
    for (const child of renderedChildren(body || node)) {
      if (child.nodeType === Node.ELEMENT_NODE && !keep(child))
        continue;
      if (child.localName === 'slot') {
        for (const shown of renderedChildren(child))
          result.appendChild(copy(shown, into, keep));
      } else {
        result.appendChild(copy(child, into, keep));
      }
    }
    return result;
  };

  // The body with every `content-visibility: auto` section laid out first (the
  // engine leaves unlaid sections out of the text), or null without a body.
  const laidOutBody = () => {
    const body = document.body;
    if (!body)
      return null;
    for (const element of document.querySelectorAll('*')) {
      if (getComputedStyle(element).contentVisibility === 'auto')
        element.style.setProperty('content-visibility', 'visible', 'important');
    }
    return body;
  };
  // The links a crawl follows, from the whole document: anchors and areas (in open
  // shadow trees and same-origin frames too), link rel=next, and the frames'
  // addresses; absolute, each once, the first MostLinks. A link marked rel=nofollow
  // is kept apart unless the same address is also linked without it.
  const MostLinks = 20000;
  const schemes = location.protocol === 'file:' ? ['http:', 'https:', 'file:'] : ['http:', 'https:'];
  const relOf = (element) => (element.getAttribute('rel') || '').toLowerCase().split(/\s+/);
  // A document's address without its fragment.
  const documentAddress = (ofDocument) => {
    const url = new URL(ofDocument.URL);
    url.hash = '';
    return url.href;
  };
  // The address an element's attribute names, resolved against its base, when a
  // crawl may follow it: of a scheme it loads, and not within `own`, the address
  // of the element's document; else null.
  const followable = (element, attribute, own) => {
    try {
      const reflected = element[attribute]; // an SVG link's is no string
      const url = new URL(typeof reflected === 'string' ? reflected : element.getAttribute(attribute),
                          element.baseURI);
      const address = url.href;
      url.hash = '';
      return schemes.includes(url.protocol) && url.href !== own ? address : null;
    } catch (error) {
      return null;
    }
  };
  const links = () => {
    const found = new Map(); // address -> followed, in the order first found
    const add = (element, attribute, own) => {
      const address = followable(element, attribute, own);
      if (address && (found.has(address) || found.size < MostLinks))
        found.set(address, found.get(address) || !relOf(element).includes('nofollow'));
    };
    const walk = (scope, own) => {
      for (const element of scope.querySelectorAll('*')) {
        if (found.size >= MostLinks)
          return;
        const name = element.localName;
        const frame = name === 'iframe' || name === 'frame';
        if (((name === 'a' || name === 'area') && element.hasAttribute('href'))
            || (name === 'link' && element.hasAttribute('href') && relOf(element).includes('next')))
          add(element, 'href', own);
        if (frame && element.hasAttribute('src'))
          add(element, 'src', own);
        if (element.shadowRoot)
          walk(element.shadowRoot, own);
        // A cross-origin frame's document is null.
        const frameDocument = frame && element.contentDocument;
        if (frameDocument)
          walk(frameDocument, documentAddress(frameDocument));
      }
    };
    walk(document, documentAddress(document));
    const canonical = Array.from(document.querySelectorAll('link[href]'))
      .find((link) => relOf(link).includes('canonical'));
    const robots = Array.from(document.querySelectorAll('meta[name][content]'))
      .filter((meta) => meta.getAttribute('name').trim().toLowerCase() === 'robots')
      .flatMap((meta) => meta.getAttribute('content').toLowerCase().split(/[\s,]+/));
    const entries = Array.from(found);
    return { follow: entries.filter(([, followed]) => followed).map(([address]) => address),
             nofollow: entries.filter(([, followed]) => !followed).map(([address]) => address),
             pageNofollow: robots.includes('nofollow') || robots.includes('none'),
             canonical: (canonical && followable(canonical, 'href', null)) || '' };
  };

  // The answer of a page script: its text, unless that is over the page cap, with
  // the page's title (`title`), language and address, `more`, and its links when
  // the crawl asks for them.
  const answer = (text, title, more) => {
    if (text.length > PAGE_CAP)
      return { tooLarge: text.length };
    return { text, title, lang: document.documentElement.getAttribute('lang') || '', finalUrl: location.href,
             ...more, ...(COLLECT_LINKS ? { links: links() } : {}) };
  };

  return { holdsAny, text, copy, laidOutBody, answer };
})();
