// What a page states about itself, from its head, its JSON-LD and its article's
// header: each field a string, or null when the page does not state it. Dates
// come as written (the engine makes them ISO 8601); the canonical address is
// made absolute. `byline` is Readability's, when it ran.
const metadata = (() => {
  const stated = (value) => {
    const text = typeof value === 'string' ? value.replace(/\s+/g, ' ').trim() : '';
    return text || null;
  };
  // The content of the first meta element named (or with the property) NAMES[0], else NAMES[1], ….
  const meta = (...names) => {
    const elements = Array.from(document.querySelectorAll('meta[content]'));
    const nameOf = (element) => (element.getAttribute('name') || element.getAttribute('property') || '')
      .trim().toLowerCase();
    for (const name of names) {
      const found = elements.find((element) => nameOf(element) === name && stated(element.getAttribute('content')));
      if (found)
        return stated(found.getAttribute('content'));
    }
    return null;
  };

  // Every object of the page's JSON-LD, arrays and @graph flattened; a script
  // that does not parse is skipped.
  const linkedData = () => {
    const nodes = [];
    const add = (value) => {
      if (Array.isArray(value)) {
        value.forEach(add);
      } else if (value && typeof value === 'object') {
        nodes.push(value);
        if (value['@graph'])
          add(value['@graph']);
      }
    };
    for (const script of document.querySelectorAll('script[type]')) {
      if (script.type.trim().toLowerCase() !== 'application/ld+json')
        continue;
      try {
        add(JSON.parse(script.textContent));
      } catch (error) {
      }
    }
    return nodes;
  };
  // A JSON-LD author: a name, an object with one, or a list of either.
  const authorName = (value) => {
    if (Array.isArray(value))
      return stated(value.map(authorName).filter((name) => name).join(', '));
    if (value && typeof value === 'object')
      return stated(value.name);
    return stated(value);
  };
  const first = (nodes, read) => {
    for (const node of nodes) {
      const value = read(node);
      if (value)
        return value;
    }
    return null;
  };

  const canonical = () => {
    const link = Array.from(document.querySelectorAll('link[rel][href]'))
      .find((element) => element.getAttribute('rel').toLowerCase().split(/\s+/).includes('canonical'));
    try {
      return link ? new URL(link.getAttribute('href').trim(), document.baseURI).href : null;
    } catch (error) {
      return null;
    }
  };
  const headerTime = () => {
    const time = document.querySelector('article header time[datetime]');
    return time ? stated(time.getAttribute('datetime')) : null;
  };

  const collect = (byline) => {
    try {
      return fields(linkedData(), byline);
    } catch (error) {
      return {};
    }
  };
  const fields = (nodes, byline) => {
    return {
      author: meta('author') || first(nodes, (node) => authorName(node.author)) || stated(byline),
      published: meta('article:published_time') || first(nodes, (node) => stated(node.datePublished))
        || headerTime(),
      modified: meta('article:modified_time') || first(nodes, (node) => stated(node.dateModified)),
      description: meta('description', 'og:description'),
      siteName: meta('og:site_name'),
      canonical: canonical(),
    };
  };
  return { collect };
})();
