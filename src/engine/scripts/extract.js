// The page as the chosen format: text, markdown or html, of the whole body or,
// with the main content, of the article Readability finds on a clone of the
// document. The engine puts the libraries' sources in place of the marker below;
// the page itself is left as it was. Open shadow trees and same-origin frames
// are put in place in the copies (composed.js, put in place of its marker).
(() => {
  /*LIBRARIES*/
  /*COMPOSED*/
  const format = 'FORMAT';
  const mainContent = MAIN_CONTENT;
  const body = document.body;
  if (!body)
    return { noBody: true };
  for (const element of document.querySelectorAll('*')) {
    if (getComputedStyle(element).contentVisibility === 'auto')
      element.style.setProperty('content-visibility', 'visible', 'important');
  }
  const flat = composed.holdsAny(body);
  // A copy of the whole document with shadow trees and frames in place, inert.
  const flatDocument = (keep) => {
    const copy = document.cloneNode(false);
    copy.appendChild(composed.copy(document.documentElement, copy, keep));
    return copy;
  };
  const everything = () => true;

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
      return copy;
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
    return copy;
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
    return paragraphs.join('\n\n').replace(/\u00a0/g, ' ');
  };

  const markdown = (root) => {
    const service = new TurndownService({ headingStyle: 'atx', codeBlockStyle: 'fenced',
                                          bulletListMarker: '-', emDelimiter: '*' });
    service.use(turndownPluginGfm.gfm);
    service.remove(['script', 'style', 'noscript', 'template', 'iframe', 'object', 'embed']);
    return service.turndown(root);
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

  // A page that Readability's own test finds no article in gives its whole body.
  let article = null;
  if (mainContent && isProbablyReaderable(flat ? flatDocument(everything) : document)) {
    try {
      article = new Readability(flat ? flatDocument(everything) : document.cloneNode(true)).parse();
    } catch (error) {
      article = null;
    }
    if (article && !article.content)
      article = null;
  }
  const title = article && article.title ? String(article.title) : document.title;
  let text;
  if (article) {
    const inert = new DOMParser().parseFromString(article.content, 'text/html');
    absolute(inert.body, document.baseURI);
    if (format === 'markdown') {
      text = (title ? '# ' + title + '\n\n' : '') + markdown(inert.body);
    } else if (format === 'html') {
      const kept = document.implementation.createHTMLDocument(title);
      kept.documentElement.setAttribute('lang', document.documentElement.getAttribute('lang') || '');
      kept.body.innerHTML = inert.body.innerHTML;
      text = keptHtml(kept.documentElement);
    } else {
      const articleText = plainText(inert.body);
      text = title ? title + '\n\n' + articleText : articleText;
    }
  } else if (format === 'markdown') {
    text = markdown(shownBody());
  } else if (format === 'html') {
    // Parsed anew, inert: nothing the copy holds loads or runs.
    const kept = flat ? flatDocument(everything)
      : new DOMParser().parseFromString(document.documentElement.outerHTML, 'text/html');
    text = keptHtml(kept.documentElement);
  } else {
    text = composed.text(body);
  }
  if (text.length > PAGE_CAP)
    return { tooLarge: text.length };
  return { text, title,
           lang: document.documentElement.getAttribute('lang') || '',
           finalUrl: location.href, fallback: mainContent && !article };
})()
