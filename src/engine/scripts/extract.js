// The page as the chosen format: text, markdown or html, of the whole body or,
// with the main content, of its article: the element Readability picks on a copy
// of what the page shows, kept whole, else the page's main landmark. The engine
// puts the libraries' sources in place of the marker below; the page itself is
// left as it was. A part the converter fails on keeps its text instead, and the
// answer names why (formatFallback). Open shadow trees and same-origin frames
// are put in place in the copies (composed.js, put in place of its marker), and
// only the parts chosen are kept in them (parts.js). What the page states about
// itself comes with it (metadata.js, likewise).
(() => {
  /*LIBRARIES*/
  /*COMPOSED*/
  /*PARTS*/
  /*METADATA*/
  const format = 'FORMAT';
  const mainContent = MAIN_CONTENT;
  const body = composed.laidOutBody();
  if (!body)
    return { noBody: true };
  const flat = composed.holdsAny(body);
  // A copy of the whole document with shadow trees and frames in place, inert.
  const flatDocument = (keep) => {
    const copy = document.cloneNode(false);
    copy.appendChild(composed.copy(document.documentElement, copy, keep));
    return copy;
  };
  const everything = () => true;

  const describe = (error) => String(error && error.name ? error.name + ': ' + error.message : error)
    .slice(0, 200);

  // Links made absolute; javascript: ones dropped.
  const absolute = (root, base) => {
    for (const name of ['href', 'src', 'action', 'formaction', 'poster']) {
      for (const element of root.querySelectorAll('[' + name + ']')) {
        const value = element.getAttribute(name);
        if (value.replace(/[\u0000-\u0020]/g, '').toLowerCase().startsWith('javascript:')) {
          element.removeAttribute(name);
          continue;
        }
        try {
          element.setAttribute(name, new URL(value, base).href);
        } catch (error) {
        }
      }
    }
  };

  // An element with display: contents (a slot, say) has no box of its own, but its children may.
  const shown = (element) => !element.checkVisibility
    || element.checkVisibility({ visibilityProperty: true }) || element.localName === 'br'
    || getComputedStyle(element).display === 'contents';
  // A copy of the body without what the page does not show.
  const shownBody = () => {
    if (flat) {
      const copy = composed.copy(body, document.cloneNode(false), shown);
      absolute(copy, document.baseURI);
      return parts.prune(copy, true);
    }
    const copy = body.cloneNode(true);
    const live = body.querySelectorAll('*');
    const copied = copy.querySelectorAll('*');
    const hidden = [];
    for (let i = 0; i < live.length && i < copied.length; ++i) {
      if (!shown(live[i]))
        hidden.push(copied[i]);
    }
    for (const element of hidden)
      element.remove();
    absolute(copy, document.baseURI);
    return parts.prune(copy, true);
  };

  // Paragraphs of an inert tree, blank lines between them, as innerText lays them out.
  const blocks = new Set(['address', 'article', 'aside', 'blockquote', 'dd', 'details', 'div',
    'dl', 'dt', 'figcaption', 'figure', 'footer', 'form', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6',
    'header', 'hr', 'li', 'main', 'nav', 'ol', 'p', 'pre', 'section', 'summary', 'table', 'tr',
    'ul', 'caption']);
  const skipped = new Set(['script', 'style', 'noscript', 'template', 'head']);
  const plainText = (root) => {
    const paragraphs = [];
    let current = '';
    const push = () => {
      const text = current.replace(/[ \t\n\r\f]+/g, ' ').replace(/ ?\u2028 ?/g, '\n')
        .replace(/ ?\u2029 ?/g, '\t').trim();
      if (text)
        paragraphs.push(text);
      current = '';
    };
    const walk = (node, pre) => {
      for (const child of node.childNodes) {
        if (child.nodeType === Node.TEXT_NODE) {
          current += pre ? child.data.replace(/\n/g, '\u2028').replace(/ /g, '\u00a0') : child.data;
        } else if (child.nodeType === Node.ELEMENT_NODE) {
          const tag = child.localName;
          if (skipped.has(tag))
            continue;
          if (tag === 'br') {
            current += '\u2028';
          } else if (blocks.has(tag)) {
            push();
            walk(child, pre || tag === 'pre');
            push();
          } else {
            if ((tag === 'td' || tag === 'th') && child.previousElementSibling)
              current += '\u2029';
            walk(child, pre);
          }
        }
      }
    };
    walk(root, false);
    push();
    return paragraphs.join('\n\n').replace(/\u00a0/g, ' ');
  };

  // --- Noise ---------------------------------------------------------------------

  const headings = 'h1, h2, h3, h4, h5, h6';
  const controls = 'button, [role=button], input, select, textarea, .buttons, .copybtn';
  // A heading's permalink: a link to a fragment showing only a mark (¶, §, #, 🔗) or nothing.
  const isPermalink = (link) => {
    const href = link.getAttribute('href') || '';
    const text = link.textContent.trim();
    return link.classList.contains('headerlink') || (/#/.test(href) || !href)
        && /^[\u00b6\u00a7#\u{1f517}]?$/u.test(text) && !link.querySelector('img');
  };
  const dropPermalinks = (root) => {
    for (const heading of root.querySelectorAll(headings)) {
      for (const link of heading.querySelectorAll('a'))
        if (isPermalink(link))
          link.remove();
    }
  };

  // --- The main content -----------------------------------------------------------

  const mark = 'data-textorin-n';
  const textLength = (element) => element.textContent.replace(/\s+/g, '').length;
  const shownLength = (element) => plainText(element).replace(/\s+/g, '').length;
  const navigation = 'nav, [role=navigation], [role=search]';
  const asides = 'aside, footer, form, [role=complementary], [role=contentinfo]';
  const navigationName = /(^|[\s_-])(nav|navbar|navigation|menu|sidebar|breadcrumbs?|pagination|pager|share|social|related|comments?|header|footer|masthead|banner)($|[\s_-])/i;
  const slug = (text) => text.toLowerCase().replace(/[^\p{L}\p{N}]+/gu, '-').replace(/^-|-$/g, '');
  // An id made of the words the element's text starts with (a section's, after its
  // heading or term) names the section, not the part of the page it is.
  const namedByItsText = (element) => {
    const words = slug(element.id).split('-');
    const text = slug(element.textContent.slice(0, 300));
    for (let i = 0; i + 2 <= words.length; ++i)
      if (text.startsWith(words.slice(i).join('-')))
        return true;
    return false;
  };
  const isNavigation = (element) => element.matches(navigation + ', ' + asides)
      || navigationName.test(element.getAttribute('class') || '')
      || navigationName.test(element.id) && !namedByItsText(element);
  // Words within a line (a highlighted comment in code, say) are never navigation.
  const phrasing = 'abbr, b, cite, code, em, i, kbd, mark, q, s, samp, small, span, strong, sub, sup, time, u, var';
  // A heading that is one link to another document: the site's title, not the article's.
  const isSiteTitle = (heading) => {
    const links = heading.querySelectorAll('a[href]');
    return links.length === 1 && !links[0].getAttribute('href').startsWith('#')
        && textLength(links[0]) === textLength(heading);
  };

  // The page's own main landmark: the largest <main> or [role=main], or its one <article>.
  const landmarkOf = (root) => {
    let best = null;
    for (const element of root.querySelectorAll('main, [role=main]'))
      if (!best || textLength(element) > textLength(best))
        best = element;
    const articles = root.querySelectorAll('article');
    if (!best && articles.length === 1)
      best = articles[0];
    return best && textLength(best) > 0 ? best : null;
  };

  // What Readability keeps of the shown copy: its outermost elements there, the
  // marks of all it kept, the title and the byline.
  const readabilityPick = (shown) => {
    const elements = Array.from(shown.querySelectorAll('*'));
    elements.forEach((element, i) => element.setAttribute(mark, i));
    const copy = document.cloneNode(true);
    copy.body.replaceWith(copy.importNode(shown, true));
    let parsed = null;
    try {
      parsed = new Readability(copy).parse();
    } catch (error) {
      parsed = null;
    }
    if (!parsed || !parsed.content)
      return null;
    const kept = new DOMParser().parseFromString(parsed.content, 'text/html').body;
    const keptMarks = new Set(Array.from(kept.querySelectorAll('[' + mark + ']'),
                                         (element) => element.getAttribute(mark)));
    const roots = [];
    const outermost = (node) => {
      for (const child of node.children) {
        const element = elements[Number(child.getAttribute(mark))];
        if (!child.hasAttribute(mark))
          outermost(child);
        else if (element && !roots.includes(element))
          roots.push(element);
      }
    };
    outermost(kept);
    return roots.length ? { roots, keptMarks, title: parsed.title, byline: parsed.byline } : null;
  };

  // The column the page's content stands in: from the body down, the child holding
  // nine tenths of its text outside navigation, as far as one does.
  const columnOf = (shown) => {
    const lengths = new Map();
    const contentLength = (element) => {
      if (isNavigation(element))
        return 0;
      let length = 0;
      for (const child of element.childNodes)
        length += child.nodeType === Node.ELEMENT_NODE ? contentLength(child)
          : child.nodeType === Node.TEXT_NODE ? child.data.replace(/\s+/g, '').length : 0;
      lengths.set(element, length);
      return length;
    };
    contentLength(shown);
    let column = shown;
    for (;;) {
      const total = lengths.get(column) || 0;
      const child = Array.from(column.children).find((element) => (lengths.get(element) || 0) * 10 >= total * 9);
      if (!child || total === 0)
        return column;
      column = child;
    }
  };

  const holdsNavigation = (element) => isNavigation(element)
      || Array.from(element.querySelectorAll(navigation + ', ' + asides + ', [class], [id]')).some(isNavigation);

  // The nodes an article is made of: Readability's roots when they are siblings,
  // else the element holding them all. Roots that are children of the body mean
  // that Readability took the body: then the largest of them that holds no navigation.
  const pickedNodes = (roots, shown) => {
    if (roots.length > 1 && roots.every((root) => root.parentElement === shown)) {
      const candidates = roots.filter((root) => !holdsNavigation(root));
      const lengths = candidates.map(shownLength);
      const largest = lengths.indexOf(Math.max(...lengths));
      return largest >= 0 && lengths[largest] > 0 ? [candidates[largest]] : [];
    }
    const parent = roots[0].parentElement;
    if (roots.every((root) => root.parentElement === parent))
      return roots;
    let holder = parent;
    while (holder && !roots.every((root) => holder.contains(root)))
      holder = holder.parentElement;
    return holder && holder !== shown ? [holder] : [];
  };

  // What a parent adds to its children NODES reads as content: no navigation
  // beside them, and links under half of the parent's text.
  const addsContent = (parent, nodes) => {
    let links = 0;
    for (const element of parent.children) {
      if (nodes.includes(element))
        continue;
      if (isNavigation(element))
        return false;
      for (const link of element.matches('a') ? [element] : element.querySelectorAll('a'))
        links += textLength(link);
    }
    return links * 2 <= textLength(parent);
  };

  // Readability's pick, widened to its parent while the parent adds content (within
  // the column, whatever its links: a table of contents is content there); never to
  // the body, nor past the landmark.
  const widened = (nodes, shown, landmark, column) => {
    for (;;) {
      const parent = nodes[0].parentElement;
      if (!parent || parent === shown || nodes.includes(landmark))
        return nodes;
      const within = column !== shown && column.contains(parent);
      if (within ? Array.from(parent.children).some((element) => !nodes.includes(element) && isNavigation(element))
          : !addsContent(parent, nodes))
        return nodes;
      nodes = [parent];
    }
  };

  // The article of the shown copy, or null. On a page Readability's own test
  // calls readable, and on one without a landmark, Readability's pick, widened
  // and kept whole; else, or when the pick holds the landmark, the landmark.
  // Navigation inside is dropped, and what Readability left out of it that looks
  // like navigation. On a page Readability does not call readable, a pick that
  // holds all of the page's text is no article.
  const findArticle = (shown) => {
    const landmark = landmarkOf(shown);
    const readable = isProbablyReaderable(flat ? flatDocument(everything) : document);
    const pick = readable || !landmark ? readabilityPick(shown) : null;
    let nodes = pick ? pickedNodes(pick.roots, shown) : [];
    if (landmark && nodes.some((node) => node.contains(landmark)))
      nodes = [];
    // Without a landmark, a pick that is navigation or beside the column gives way to the column.
    const column = landmark ? shown : columnOf(shown);
    if (column !== shown && nodes.some((node) => isNavigation(node)
                                         || !column.contains(node) && !node.contains(column)))
      nodes = [column];
    const fromPick = nodes.length > 0;
    nodes = fromPick ? widened(nodes, shown, landmark, column) : landmark ? [landmark] : [];
    let article = null;
    if (nodes.length === 1) {
      article = nodes[0].cloneNode(true);
    } else if (nodes.length) {
      article = document.createElement('div');
      for (const node of nodes)
        article.append(node.cloneNode(true));
    }
    if (article) {
      for (const element of article.querySelectorAll(navigation))
        element.remove();
      for (const element of fromPick ? article.querySelectorAll(asides + ', [class], [id], ' + headings) : []) {
        if (!pick.keptMarks.has(element.getAttribute(mark)) && !element.matches(phrasing + ', table, dl')
            && (element.matches(headings) ? isSiteTitle(element) : isNavigation(element)))
          element.remove();
      }
    }
    for (const root of article ? [shown, article] : [shown]) {
      root.removeAttribute(mark);
      for (const element of root.querySelectorAll('[' + mark + ']'))
        element.removeAttribute(mark);
    }
    if (!article || (fromPick && !readable && shownLength(article) >= shownLength(shown)))
      return null;
    return { article, title: fromPick ? pick.title : '', byline: pick ? pick.byline : null };
  };

  // --- Markdown ------------------------------------------------------------------

  const codeLanguage = (pre) => {
    const code = pre.querySelector(':scope > code');
    const holders = [pre, code, pre.parentElement, pre.parentElement && pre.parentElement.parentElement];
    for (const holder of holders) {
      for (const name of holder ? holder.classList : []) {
        const found = /^(?:language|lang|highlight)-([\w+#.-]+)$/.exec(name);
        if (found && !/^(default|none|text|plain|nohighlight)$/i.test(found[1]))
          return found[1];
      }
    }
    return '';
  };

  // A code block's text as shown: controls left out, line breaks kept.
  const codeText = (block) => {
    const copy = block.cloneNode(true);
    for (const control of copy.querySelectorAll(controls))
      control.remove();
    for (const lineBreak of copy.querySelectorAll('br'))
      lineBreak.replaceWith('\n');
    const lines = copy.querySelectorAll('div.line');
    const text = lines.length ? Array.from(lines, (line) => line.textContent).join('\n') : copy.textContent;
    return text.replace(/^\n+|\s+$/g, '');
  };

  const fence = (text, language) => {
    const longest = Math.max(0, ...(text.match(/`+/g) || []).map((run) => run.length));
    const marks = '`'.repeat(Math.max(3, longest + 1));
    return '\n\n' + marks + language + '\n' + text + '\n' + marks + '\n\n';
  };

  const blockInCell = 'table, ul, ol, dl, pre, blockquote, hr, h1, h2, h3, h4, h5, h6, div.fragment';
  // A table that lays out blocks, has one row or one column, or says it is for layout.
  const isLayoutTable = (table, rows) => table.matches('[role=presentation], [role=none]')
      || rows.length < 2 || rows.every((row) => row.cells.length < 2)
      || Array.from(table.querySelectorAll('td, th')).some((cell) => cell.querySelector(blockInCell));

  // The rows of a layout table: those of blocks as their blocks, the others as items of a list.
  const unrolledTable = (table, rows) => {
    const owner = table.ownerDocument;
    const out = owner.createElement('div');
    let list = null;
    for (const row of rows) {
      const cells = Array.from(row.cells).filter((cell) => cell.textContent.trim() || cell.querySelector('img'));
      if (!cells.length)
        continue;
      if (cells.some((cell) => cell.querySelector(blockInCell))) {
        list = null;
        for (const cell of cells) {
          const holder = owner.createElement('div');
          holder.append(...cell.childNodes);
          out.append(holder);
        }
        continue;
      }
      if (!list)
        list = out.appendChild(owner.createElement('ul'));
      const item = list.appendChild(owner.createElement('li'));
      cells.forEach((cell, i) => {
        if (i)
          item.append(' ');
        item.append(...cell.childNodes);
      });
    }
    return out;
  };

  // A data table as GFM wants it: its first row alone in the head, spanned cells repeated empty.
  const headedTable = (table, rows) => {
    const owner = table.ownerDocument;
    for (const cell of table.querySelectorAll('td[colspan], th[colspan]')) {
      for (let n = Math.min(Number(cell.getAttribute('colspan')) || 1, 50); n > 1; --n)
        cell.after(owner.createElement(cell.localName));
    }
    if (table.caption) {
      const caption = owner.createElement('p');
      caption.append(...table.caption.childNodes);
      table.before(caption);
      table.caption.remove();
    }
    const head = owner.createElement('thead');
    const bodyRows = owner.createElement('tbody');
    head.append(rows[0]);
    bodyRows.append(...rows.slice(1));
    for (const section of table.querySelectorAll(':scope > thead, :scope > tbody, :scope > tfoot, :scope > tr'))
      section.remove();
    table.append(head, bodyRows);
  };

  const prepareTables = (root) => {
    for (const table of Array.from(root.querySelectorAll('table')).reverse()) {
      const rows = Array.from(table.rows).filter((row) => row.cells.length);
      if (!rows.length || !table.textContent.trim())
        table.remove();
      else if (isLayoutTable(table, rows))
        table.replaceWith(unrolledTable(table, rows));
      else
        headedTable(table, rows);
    }
  };

  const markdownService = () => {
    const service = new TurndownService({ headingStyle: 'atx', codeBlockStyle: 'fenced',
                                          bulletListMarker: '-', emDelimiter: '*' });
    service.use([turndownPluginGfm.tables, turndownPluginGfm.strikethrough,
                 turndownPluginGfm.taskListItems]);
    service.remove(['script', 'style', 'noscript', 'template', 'iframe', 'object', 'embed']);
    service.addRule('codeBlock', {
      filter: (node) => node.nodeName === 'PRE'
          || (node.nodeName === 'DIV' && node.classList.contains('fragment')),
      replacement: (content, node) => fence(codeText(node), codeLanguage(node)),
    });
    service.addRule('plainHeading', {
      filter: headings.split(', '),
      replacement: (content, node) => {
        const copy = node.cloneNode(true);
        for (const control of copy.querySelectorAll(controls))
          control.remove();
        const text = copy.textContent.replace(/\s+/g, ' ').trim();
        return text ? '\n\n' + '#'.repeat(Number(node.nodeName.charAt(1))) + ' '
                      + service.escape(text) + '\n\n' : '';
      },
    });
    // Inline HTML, which GFM keeps: 2^7 must not read as 27.
    service.addRule('supSub', {
      filter: ['sup', 'sub'],
      replacement: (content, node) => {
        const tag = node.nodeName.toLowerCase();
        return content.trim() ? '<' + tag + '>' + content.trim() + '</' + tag + '>' : '';
      },
    });
    service.addRule('tableCell', {
      filter: ['th', 'td'],
      replacement: (content, node) => (node.previousElementSibling ? ' ' : '| ')
          + content.replace(/\s*\n\s*/g, ' ').trim().replace(/\|/g, '\\|') + ' |',
    });
    return service;
  };

  // Markdown of a tree. An element the converter fails on is converted child by
  // child; one that fails whole while each child converts keeps its text, and
  // the first such failure is noted.
  const markdown = (root, failures) => {
    const service = markdownService();
    const convert = (element) => {
      const copy = element.cloneNode(true);
      prepareTables(copy);
      return service.turndown(copy);
    };
    const byParts = (element, error) => {
      const parts = [];
      let split = false;
      for (const child of element.childNodes) {
        if (child.nodeType === Node.TEXT_NODE) {
          parts.push(child.data.replace(/\s+/g, ' ').trim());
        } else if (child.nodeType === Node.ELEMENT_NODE && !skipped.has(child.localName)) {
          try {
            parts.push(convert(child));
          } catch (childError) {
            split = true;
            parts.push(byParts(child, childError));
          }
        }
      }
      if (split)
        return parts.filter((part) => part).join('\n\n');
      if (!failures.length)
        failures.push('a <' + element.localName + '> could not be converted (' + describe(error)
                      + '); its text was kept');
      return plainText(element);
    };
    try {
      return convert(root);
    } catch (error) {
      return byParts(root, error);
    }
  };

  // A document fit to keep: no scripts, no handlers, no javascript: links, absolute links.
  const keptHtml = (root) => {
    for (const element of root.querySelectorAll('script'))
      element.remove();
    for (const element of root.querySelectorAll('*')) {
      for (const attribute of Array.from(element.attributes)) {
        const value = attribute.value.replace(/[\u0000-\u0020]/g, '').toLowerCase();
        if (attribute.name.toLowerCase().startsWith('on') || value.startsWith('javascript:'))
          element.removeAttribute(attribute.name);
      }
    }
    absolute(root, document.baseURI);
    const head = root.querySelector('head');
    if (head) {
      for (const meta of head.querySelectorAll('meta[charset], meta[http-equiv]'))
        if (meta.hasAttribute('charset') || meta.httpEquiv.toLowerCase() === 'content-type')
          meta.remove();
      const charset = root.ownerDocument.createElement('meta');
      charset.setAttribute('charset', 'utf-8');
      head.prepend(charset);
    }
    return '<!DOCTYPE html>\n' + root.outerHTML + '\n';
  };

  // --- The answer ----------------------------------------------------------------

  const failures = [];
  const squeezed = (text) => text.replace(/\s+/g, ' ').trim();
  // The article in the format, after its title unless its first heading says it.
  const articleText = (found) => {
    const { article } = found;
    const title = found.title ? String(found.title) : document.title;
    dropPermalinks(article);
    const heading = article.querySelector(headings);
    const titled = !title || (heading && squeezed(heading.textContent) === squeezed(title));
    if (format === 'markdown')
      return (titled ? '' : '# ' + title + '\n\n') + markdown(article, failures);
    if (format === 'html') {
      const kept = document.implementation.createHTMLDocument(title);
      kept.documentElement.setAttribute('lang', document.documentElement.getAttribute('lang') || '');
      kept.body.append(kept.importNode(article, true));
      return keptHtml(kept.documentElement);
    }
    const text = plainText(article);
    return titled ? text : title + '\n\n' + text;
  };
  const bodyText = () => {
    if (format === 'markdown') {
      const shown = shownBody();
      dropPermalinks(shown);
      return markdown(shown, failures);
    }
    if (format === 'html') {
      // Parsed anew, inert: nothing the copy holds loads or runs.
      const kept = flat ? flatDocument(everything)
        : new DOMParser().parseFromString(document.documentElement.outerHTML, 'text/html');
      return keptHtml(parts.prune(kept.documentElement, false));
    }
    const chosen = parts.text(composed.text);
    return chosen === null ? composed.text(body) : chosen;
  };

  let found = null;
  let text;
  try {
    found = mainContent ? findArticle(shownBody()) : null;
    text = found ? articleText(found) : bodyText();
  } catch (error) {
    found = null;
    failures.unshift('the page could not be converted (' + describe(error) + '); its text was kept');
    text = composed.text(body);
  }
  return composed.answer(text, found && found.title ? String(found.title) : document.title,
                         { fallback: mainContent && !found, formatFallback: failures.length ? failures[0] : '',
                           metadata: metadata.collect(found && found.byline), ...parts.answer() });
})()
